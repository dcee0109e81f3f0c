"""The parts of a PE image that the release checks read, with pefile: its
certificate table, checksum and Authenticode digest, its headers, imports
and resources, and the images of an icon group."""

import hashlib
import struct
import zlib

import pefile

SECURITY = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_SECURITY']
DEBUG = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_DEBUG']
RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'
PNG_CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # by colour type


class Image:
    """A PE image: DATA, its bytes, and PE, pefile's reading of them (its
    headers; the import and resource directories are read when asked for).
    Raises pefile.PEFormatError when DATA is no PE image."""

    def __init__(self, data: bytes):
        self.data = data
        self.pe = pefile.PE(data=data, fast_load=True)

    def certificate_table(self) -> tuple[int, int]:
        """The file offset and size of the certificate table, as its
        directory entry gives them: (0, 0) when there is none."""
        entry = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
        return entry.VirtualAddress, entry.Size

    def checksum_in_header(self) -> int:
        return self.pe.OPTIONAL_HEADER.CheckSum

    def checksum_of_bytes(self) -> int:
        return self.pe.generate_checksum()

    def authenticode_digest(self, algorithm: str) -> bytes:
        """The Authenticode digest (hashlib's ALGORITHM) of a signed image:
        its bytes up to the certificate table, less the checksum field and
        the certificate table's directory entry, which signing changes."""
        checksum = self.pe.OPTIONAL_HEADER.get_field_absolute_offset('CheckSum')
        entry = self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].get_file_offset()
        digest = hashlib.new(algorithm)
        for start, end in ((0, checksum), (checksum + 4, entry), (entry + 8, self.certificate_table()[0])):
            digest.update(self.data[start:end])
        return digest.digest()

    def imports(self) -> list[str]:
        """The DLLs the image imports, lower case, sorted."""
        self.pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_IMPORT']])
        return sorted(entry.dll.decode('ascii', 'replace').lower()
                      for entry in getattr(self.pe, 'DIRECTORY_ENTRY_IMPORT', []))

    def has_debug_data(self) -> bool:
        """Whether a section has a debugging name (long names, /N, are
        those of DWARF sections) or the debug directory is there."""
        return (any(section.Name.startswith((b'.debug', b'/')) for section in self.pe.sections)
                or self.pe.OPTIONAL_HEADER.DATA_DIRECTORY[DEBUG].Size != 0)

    def resources(self) -> tuple[dict[tuple[int | str, int | str], list[bytes]], list[int]]:
        """The resources, (type, name): their data in each language; and the
        time stamps of all resource directories."""
        self.pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
        top = getattr(self.pe, 'DIRECTORY_ENTRY_RESOURCE', None)
        if top is None:
            return {}, []
        found, stamps = {}, [top.struct.TimeDateStamp]
        for kind in top.entries:
            stamps.append(kind.directory.struct.TimeDateStamp)
            for name in kind.directory.entries:
                stamps.append(name.directory.struct.TimeDateStamp)
                found[identifier(kind), identifier(name)] = [
                    self.pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                    for language in name.directory.entries]
        return found, stamps


def identifier(entry) -> int | str:
    """A resource directory entry's number, or its name."""
    return entry.id if entry.name is None else str(entry.name)


def icon_group(data: bytes) -> list[tuple[int, int, int, int]]:
    """The images an RT_GROUP_ICON names: (width, height, byte count,
    RT_ICON number) each. Raises ValueError when it is no icon group."""
    reserved, kind, count = struct.unpack_from('<HHH', data.ljust(6, b'\xff'))
    if (reserved, kind) != (0, 1) or len(data) != 6 + 14 * count:
        raise ValueError('it is no icon group')
    return [(width or 256, height or 256, byte_count, number)
            for width, height, _, _, _, _, byte_count, number in struct.iter_unpack('<BBBBHHIH', data[6:])]


def icon_image_size(data: bytes) -> tuple[int, int]:
    """The width and height of an icon image, a PNG or a BMP (a DIB of
    twice the height: its colours, then its mask), decoded far enough to
    know its pixel data is all there. Raises ValueError when it is
    neither."""
    try:
        return png_size(data) if data.startswith(PNG_SIGNATURE) else dib_size(data)
    except (struct.error, zlib.error, KeyError) as error:
        raise ValueError(f'it does not decode ({error})') from None


def png_size(data: bytes) -> tuple[int, int]:
    """A non-interlaced PNG's size: its chunks each whole with a right
    CRC, from IHDR to IEND, its IDAT data inflating to a filter byte and
    the pixels of each row."""
    chunks, at = [], len(PNG_SIGNATURE)
    while at < len(data):
        length, kind = struct.unpack_from('>I4s', data, at)
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack_from('>I', data, at + 8 + length)
        if zlib.crc32(kind + body) != crc:
            raise ValueError(f'the CRC of its {kind!r} chunk is wrong')
        chunks.append((kind, body))
        at += 12 + length
    if not chunks or chunks[0][0] != b'IHDR' or chunks[-1][0] != b'IEND':
        raise ValueError('it is no PNG from IHDR to IEND')
    width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', chunks[0][1])
    stride = 1 + (width * depth * PNG_CHANNELS[colour] + 7) // 8
    pixels = zlib.decompress(b''.join(body for kind, body in chunks if kind == b'IDAT'))
    if interlace or len(pixels) != height * stride or any(pixels[row] > 4 for row in range(0, len(pixels), stride)):
        raise ValueError('its pixel data is not that of its size')
    return width, height


def dib_size(data: bytes) -> tuple[int, int]:
    """An icon DIB's size: a BITMAPINFOHEADER, uncompressed, then its
    palette, its colour rows and its 1-bit mask rows, nothing more."""
    header, width, double_height, planes, bits, compression = struct.unpack_from('<IiiHHI', data)
    (colours,) = struct.unpack_from('<I', data, 32)
    if header != 40 or planes != 1 or compression != 0 or bits not in (1, 4, 8, 24, 32):
        raise ValueError('it is neither a PNG nor an uncompressed DIB')
    height = double_height // 2
    palette = 4 * (colours or (1 << bits if bits <= 8 else 0))
    rows = ((width * bits + 31) // 32 * 4 + (width + 31) // 32 * 4) * height
    if len(data) != header + palette + rows:
        raise ValueError(f'it holds {len(data)} bytes, not the {header + palette + rows} of its size')
    return width, height
