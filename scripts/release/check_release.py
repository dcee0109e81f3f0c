#!/usr/bin/python3
"""Checks the program as it ships.

    scripts/check-release TESTED_EXE
    scripts/check-release SIGNED_EXE --ca ROOT.pem [--tsa-ca TSA_ROOT.pem] [--notices NOTICES] [--no-build]

Built by scripts/build-release (unless --no-build), dist/ZiBLauncher.exe must
be byte for byte the program the tests ran, TESTED_EXE; the notices beside
it must cover every third-party input of the link; its PE headers, imports,
icon and manifest must be those of the program that ships.

A signed copy must hold exactly what scripts/sign-release writes: one
signature, the certificate table ending the file, the checksum right; the
signature one signer's, SHA-256, over the copy's own Authenticode digest,
with no certificate beside its signer's chain and no unauthenticated
attribute but one RFC 3161 timestamp, which must verify against
TSA_ROOT.pem; osslsigncode must verify it against ROOT.pem; without it the
copy must be byte for byte dist/ZiBLauncher.exe, the notices beside it
dist's, and its headers, imports and resources those above.

Every verdict rests on the parsed structure or on a tool's exit code. Text a
signer controls (names, descriptions, the tools' reports) is shown escaped,
and decides nothing. Prints "ok: ..." for each check passed; exits with 0,
or with 1 after a last line "FAIL: <reason>", or with 2 on a usage error.
"""

import argparse
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree
from pathlib import Path
from typing import Callable, NamedTuple

import pefile
from asn1crypto import pem, x509

import authenticode
import notices
import pe_image

ROOT = Path(__file__).resolve().parents[2]
DIST_EXE = ROOT / 'dist' / 'ZiBLauncher.exe'
DIST_NOTICES = ROOT / 'dist' / 'ZiBLauncher-notices.txt'
RELEASE_BUILD = ROOT / 'build' / 'release' / 'i686'
MANIFEST = ROOT / 'launcher' / 'resources' / 'ZiBLauncher.manifest'
NOTICES_NAME = DIST_NOTICES.name
# WinINet and user32 are loaded when needed (WinINet from the system folder
# only), so an import of either would be a regression.
IMPORTS = ['advapi32.dll', 'kernel32.dll', 'msvcrt.dll']
ICON_GROUP, MANIFEST_NAME = 101, 1
ICON_SIZES = [16, 24, 32, 48, 64, 256]
# What osslsigncode signs with SHA-256: RSA (PKCS #1 v1.5) or ECDSA keys.
SIGNATURE_ALGORITHMS = {'rsassa_pkcs1v15', 'sha256_rsa', 'sha256_ecdsa'}
NO_PARAMETERS = (b'', b'\x05\x00')  # absent, or NULL
# The manifest's elements that request an execution level or name an assembly.
REQUESTS = {'trustInfo', 'requestedExecutionLevel', 'dependency'}
# The lines of a tool's report that say why it refused, shown with a refusal.
REASON = re.compile(r'MISMATCH|error|Unsupported|No signature|Unable|Warning|failed', re.IGNORECASE)
HEADERS = (  # what the program is: a description, and whether an image is it
    ('a PE32 for i386', lambda pe: pe.FILE_HEADER.Machine == 0x14C and pe.OPTIONAL_HEADER.Magic == 0x10B),
    ('a Windows GUI program', lambda pe: pe.OPTIONAL_HEADER.Subsystem == 2),
    ('stripped of symbols', lambda pe: pe.FILE_HEADER.PointerToSymbolTable == 0 == pe.FILE_HEADER.NumberOfSymbols),
    ('stamped with time 0', lambda pe: pe.FILE_HEADER.TimeDateStamp == 0),
)


class Refused(Exception):
    """A check failed; the message is the reason its FAIL line gives."""


class Given(NamedTuple):
    """A file, and how the user named it (which the messages repeat)."""
    path: Path
    shown: str


def given(argument: str) -> Given:
    """The file an argument names, shown as given, escaped."""
    return Given(Path(argument), escape(argument))


def escape(text: str) -> str:
    """TEXT, its control characters and backslashes escaped (\\n, \\x1b):
    text that others wrote, shown on a line of its own, never raw."""
    return ''.join(c if c.isprintable() and c != '\\' else repr(c)[1:-1] for c in text)


def ok(text: str) -> None:
    print(f'ok: {text}')


def run(*command, **options) -> subprocess.CompletedProcess:
    """Runs a tool (given subprocess.run's OPTIONS), its output and errors
    kept as text."""
    return subprocess.run([str(part) for part in command], capture_output=True, text=True, errors='replace',
                          **options)


def show_reasons(tool: str, done: subprocess.CompletedProcess) -> None:
    """Prints the lines of TOOL's report that say why it refused, escaped."""
    for line in done.stdout.splitlines() + done.stderr.splitlines():
        if REASON.search(line):
            print(f'  {tool}: {escape(line.strip())}')


def read_bytes(given: Given) -> bytes:
    try:
        return given.path.read_bytes()
    except OSError as error:
        raise Refused(f'cannot read {given.shown}: {error.strerror}') from None


def read_image(exe: Given) -> pe_image.Image:
    try:
        return pe_image.Image(read_bytes(exe))
    except pefile.PEFormatError as error:
        raise Refused(f'{exe.shown} is no PE image: {escape(str(error))}') from None


def check_certificate_table(image: pe_image.Image, exe: str) -> bytes:
    """The DER signature in IMAGE's certificate table, once the table is as
    scripts/sign-release writes it: it ends the file and is one entry,
    PKCS#7 signed data of revision 2.0, the signature's DER bytes padded
    with zero bytes to a multiple of 8; the checksum that of the file's
    bytes. Authenticode covers neither the table nor the checksum, and
    remove-signature strips what was added there: bytes hidden in them
    would pass the signature and the comparison with the release alike."""
    offset, size = image.certificate_table()
    if size == 0:
        raise Refused(f'{exe} has no certificate table: it is not signed')
    if offset + size != len(image.data):
        raise Refused(f'the certificate table of {exe} does not end the file')
    table = image.data[offset:]
    if size < 8 or struct.unpack_from('<I', table)[0] != size:
        raise Refused(f'the certificate table of {exe} is not one entry')
    not_signed_data = Refused(f'the certificate entry of {exe} is not PKCS#7 signed data of revision 2.0')
    if struct.unpack_from('<HH', table, 4) != (0x0200, 0x0002):  # WIN_CERT_REVISION_2_0, PKCS_SIGNED_DATA
        raise not_signed_data
    try:
        length = authenticode.der_length(table[8:])
    except ValueError:
        raise not_signed_data from None
    if size != (8 + length + 7) // 8 * 8 or any(table[8 + length:]):
        raise Refused(f'the certificate entry of {exe} holds more than its signature and zero padding')
    if image.checksum_in_header() != image.checksum_of_bytes():
        print(f'  PE checksum 0x{image.checksum_in_header():08X}, of its bytes 0x{image.checksum_of_bytes():08X}')
        raise Refused(f'the PE checksum of {exe} is not that of its bytes')
    ok(f'{exe} ends with one certificate entry, its signature of {length} DER bytes padded to {size}; '
       'its PE checksum is right')
    return table[8:8 + length]


def read_signed_data(der: bytes, content_type: str, refusal: str) -> authenticode.SignedData:
    try:
        return authenticode.read(der, content_type)
    except ValueError as error:
        print(f'  asn1crypto: {escape(str(error).splitlines()[0])}')
        raise Refused(refusal) from None


def check_signature(signed: authenticode.SignedData, image: pe_image.Image, exe: str, work: Path) -> None:
    """One signer, SHA-256 throughout (digests, the signature's algorithm,
    no parameters where none belong), over IMAGE's Authenticode digest; no
    unauthenticated attribute but one timestamp; no certificate but those
    of the signer's chain, no revocation list."""
    whose = f'the signature of {exe}'
    if signed.signer_infos != 1:
        raise Refused(f'{whose} has {signed.signer_infos} signer infos, not one')
    digest = signed.content['message_digest']
    faults = [*(algorithm_fault(algorithm, {'sha256'})
                for algorithm in [*signed.digest_algorithms, digest['digest_algorithm']]),
              algorithm_fault(signed.signature_algorithm, SIGNATURE_ALGORITHMS)]
    if any(faults):
        raise Refused(f'{whose} uses {next(filter(None, faults))}, not SHA-256')
    if digest['digest'].native != image.authenticode_digest('sha256'):
        raise Refused(f'the signed digest of {exe} is not the Authenticode digest of its bytes')
    ok(f'{whose} is one signer\'s, SHA-256, over the Authenticode digest of its bytes')
    kinds = [kind for kind, _ in signed.unsigned_attributes]
    if authenticode.NESTED_SIGNATURE in kinds:
        raise Refused(f'{exe} carries a nested signature, which scripts/sign-release never makes')
    stamps = [values for kind, values in signed.unsigned_attributes if kind == authenticode.TIMESTAMP_TOKEN]
    extra = [kind for kind in kinds if kind != authenticode.TIMESTAMP_TOKEN]
    if extra or stamps not in ([], [1]):
        raise Refused(f'{whose} carries an unauthenticated attribute other than one timestamp: '
                      f'{(extra or [authenticode.TIMESTAMP_TOKEN])[0]}')
    chain = check_certificates(signed, whose, work)
    ok(f'{whose} carries {"a timestamp" if stamps else "no timestamp"} and its signer\'s chain: '
       + escape('; '.join(authenticode.name_text(certificate.subject) for certificate in chain)))


def algorithm_fault(algorithm, allowed: set[str]) -> str | None:
    """None when ALGORITHM (an AlgorithmIdentifier) is one of ALLOWED, with
    no parameters or NULL ones (parameters are bytes that no signature
    covers); else its name, "with parameters" where that is its fault."""
    name = algorithm['algorithm'].native
    if name not in allowed:
        return name
    return None if algorithm['parameters'].dump() in NO_PARAMETERS else f'{name} with parameters'


def check_certificates(signed: authenticode.SignedData, whose: str, work: Path) -> list[x509.Certificate]:
    """The signer's chain, once SIGNED carries no other certificate and no
    revocation list: the signature covers neither, and nothing else may
    ride along unchecked."""
    chain = signer_chain(signed.signer, signed.certificates, work) if signed.signer else []
    on_chain = {certificate.dump() for certificate in chain}
    for certificate in signed.certificates:
        if certificate is None or certificate.dump() not in on_chain:
            subject = ('(not an X.509 certificate)' if certificate is None
                       else authenticode.name_text(certificate.subject))
            raise Refused(f"{whose} carries a certificate not on its signer's chain: {escape(subject)}")
    if signed.revocation_lists:
        raise Refused(f'{whose} carries revocation lists')
    return chain


def signer_chain(leaf: x509.Certificate, certificates, work: Path) -> list[x509.Certificate]:
    """LEAF, then its issuers among CERTIFICATES up to a self-signed root or
    the last one there: each the certificate whose key signed the one
    before, as openssl verify judges it (a name alone anyone can copy)."""
    chain = [leaf]
    while not chain[-1].self_issued:
        taken = {certificate.dump() for certificate in chain}
        issuer = next((certificate for certificate in filter(None, certificates)
                       if certificate.subject == chain[-1].issuer and certificate.dump() not in taken
                       and signed_by(chain[-1], certificate, work)), None)
        if issuer is None:
            break
        chain.append(issuer)
    return chain


def signed_by(certificate: x509.Certificate, issuer: x509.Certificate, work: Path) -> bool:
    """Whether ISSUER's key signed CERTIFICATE, and ISSUER, when self-signed,
    itself (openssl verify, trusting ISSUER; times are judged elsewhere)."""
    files = write_certificates(work, certificate=[certificate], issuer=[issuer])
    return run('openssl', 'verify', '-partial_chain', '-check_ss_sig', '-no_check_time',
               '-CAfile', files['issuer'], files['certificate']).returncode == 0


def write_certificates(work: Path, **groups: list[x509.Certificate]) -> dict[str, Path]:
    """Each group of certificates in a PEM file of WORK named after it."""
    files = {name: work / f'{name}.pem' for name in groups}
    for name, certificates in groups.items():
        files[name].write_bytes(b''.join(pem.armor('CERTIFICATE', c.dump()) for c in certificates))
    return files


def check_timestamp(token_der: bytes, signed: authenticode.SignedData, exe: str, tsa_ca: Given | None,
                    work: Path) -> None:
    """The signature's timestamp, TOKEN_DER, judged from itself: one TSA's
    signature, with its chain and nothing more, over the digest of the
    signature's value (openssl ts -verify on the token's imprint), under
    TSA_CA. Says what it claims: its time and its TSA."""
    whose = f'the timestamp of {exe}'
    token = read_signed_data(token_der, authenticode.TST_INFO, f'{whose} is no RFC 3161 token')
    tsa = authenticode.name_text(token.signer.subject) if token.signer else 'an unnamed TSA'
    claim = escape(f"it claims {token.content['gen_time'].native:%Y-%m-%dT%H:%M:%SZ} by {tsa}")
    if tsa_ca is None:
        raise Refused(f'{exe} carries a timestamp, but no --tsa-ca was given to check it ({claim})')
    if token.signer_infos != 1:
        raise Refused(f'{whose} has {token.signer_infos} signer infos, not one')
    if token.unsigned_attributes:
        raise Refused(f'{whose} carries an unauthenticated attribute: {token.unsigned_attributes[0][0]}')
    chain = check_certificates(token, whose, work)
    (work / 'token.der').write_bytes(token_der)
    (work / 'signature').write_bytes(signed.signature)
    untrusted = ['-untrusted', write_certificates(work, untrusted=chain)['untrusted']] if chain else []
    verified = run('openssl', 'ts', '-verify', '-token_in', '-in', work / 'token.der', '-data', work / 'signature',
                   '-CAfile', tsa_ca.path, *untrusted)
    if verified.returncode != 0:
        show_reasons('openssl', verified)
        raise Refused(f'{whose} does not verify against {tsa_ca.shown} ({claim})')
    ok(f'{whose} verifies against {tsa_ca.shown}: {claim}')


def verify_signature(exe: Given, signed: authenticode.SignedData, ca: Given, tsa_ca: Given | None) -> None:
    """osslsigncode verifies the signature against CA: the chain to it, the
    signer's code-signing usage, the digest, the certificate's validity (at
    the time of a timestamp that TSA_CA verifies). Its exit code decides."""
    verified = run('osslsigncode', 'verify', '-CAfile', ca.path,
                   *(['-TSA-CAfile', tsa_ca.path] if tsa_ca else []), '-in', exe.path)
    if verified.returncode != 0:
        show_reasons('osslsigncode', verified)
        raise Refused(f'the signature of {exe.shown} does not verify against {ca.shown}')
    ok(f'the signature of {exe.shown} verifies against {ca.shown} (signer '
       f'{escape(authenticode.name_text(signed.signer.subject))})')


def check_signed_copy(exe: Given, ca: Given, tsa_ca: Given | None, work: Path) -> None:
    """The rules of the signed copy itself: its certificate table, its
    signature and timestamp. Raises Refused."""
    image = read_image(exe)
    der = check_certificate_table(image, exe.shown)
    signed = read_signed_data(der, authenticode.SPC_INDIRECT_DATA,
                              f'the certificate entry of {exe.shown} is not PKCS#7 signed data of revision 2.0')
    check_signature(signed, image, exe.shown, work)
    token = authenticode.timestamp_token(signed)
    if token:
        check_timestamp(token, signed, exe.shown, tsa_ca, work)
    verify_signature(exe, signed, ca, tsa_ca)


def check_without_signature(exe: Given, work: Path) -> None:
    if not is_release_plus_signature(exe.path, work):
        raise Refused(f'{exe.shown} without its signature is not the reproducible release, dist/ZiBLauncher.exe')
    ok(f'without its signature, {exe.shown} is byte for byte dist/ZiBLauncher.exe')


def is_release_plus_signature(path: Path, work: Path) -> bool:
    """Whether PATH without its signature (osslsigncode remove-signature,
    which fails where there is none) is byte for byte dist/ZiBLauncher.exe."""
    unsigned = work / 'unsigned.exe'
    unsigned.unlink(missing_ok=True)
    removed = run('osslsigncode', 'remove-signature', '-in', path, '-out', unsigned)
    return removed.returncode == 0 and unsigned.read_bytes() == DIST_EXE.read_bytes()


def check_notices_beside(exe: Given, beside: Given) -> None:
    if not beside.path.is_file():
        raise Refused(f'no notices beside {exe.shown}: {beside.shown}')
    if beside.path.read_bytes() != DIST_NOTICES.read_bytes():
        raise Refused(f'the notices beside {exe.shown} differ from those built here, dist/{NOTICES_NAME}')
    ok(f'the notices beside {exe.shown}, {beside.shown}, are dist/{NOTICES_NAME}')


def check_notices_cover_link() -> None:
    """Every archive, object or header library from outside the project
    that the link took needs its notices in the file shipped beside the
    program."""
    missing = notices.uncovered(RELEASE_BUILD, DIST_NOTICES.read_text(encoding='utf-8'))
    if missing:
        raise Refused(f'the link takes {" ".join(missing)}, which dist/{NOTICES_NAME} does not cover')
    ok(f'dist/{NOTICES_NAME} covers every third-party input of the link')


def check_program(exe: Given) -> None:
    """The PE headers, imports and resources of the program that ships."""
    print(f'Headers, imports and resources of {exe.shown}:')
    image = read_image(exe)
    for description, holds in HEADERS:
        if not holds(image.pe):
            raise Refused(f'{exe.shown} is not {description}')
    if image.has_debug_data():
        raise Refused(f'{exe.shown} holds debugging data')
    ok(f'{exe.shown} is {", ".join(description for description, _ in HEADERS)}, without debugging data')
    if image.imports() != IMPORTS:
        raise Refused(f'{exe.shown} imports {" ".join(image.imports())}, not exactly {" ".join(IMPORTS)}')
    ok(f'imports exactly {" ".join(IMPORTS)}')
    resources, stamps = image.resources()
    if any(stamps):
        raise Refused(f'a resource directory of {exe.shown} carries a time stamp')
    listed = sorted(f'{kind}:{name}' for (kind, name), data in resources.items() for _ in data
                    if kind != pe_image.RT_ICON)
    if listed != [f'{pe_image.RT_GROUP_ICON}:{ICON_GROUP}', f'{pe_image.RT_MANIFEST}:{MANIFEST_NAME}']:
        raise Refused(f'the resources of {exe.shown} are {" ".join(listed)}, '
                      f'not icon group {ICON_GROUP} and manifest {MANIFEST_NAME}')
    check_icons(resources, exe.shown)
    check_manifest(resources[pe_image.RT_MANIFEST, MANIFEST_NAME][0], exe.shown)


def check_icons(resources: dict, exe: str) -> None:
    """Icon group ICON_GROUP names one image of each of ICON_SIZES, and the
    icon resources are exactly those, each of its size, each decoding."""
    try:
        group = pe_image.icon_group(resources[pe_image.RT_GROUP_ICON, ICON_GROUP][0])
    except ValueError as error:
        raise Refused(f'icon group {ICON_GROUP} of {exe}: {error}') from None
    if [(width, height) for width, height, _, _ in group] != [(size, size) for size in ICON_SIZES]:
        raise Refused(f'icon group {ICON_GROUP} of {exe} holds sizes '
                      f'{" ".join(f"{width}x{height}" for width, height, _, _ in group)}')
    icons = [name for (kind, name), data in resources.items() for _ in data if kind == pe_image.RT_ICON]
    if sorted(icons, key=str) != sorted((number for _, _, _, number in group), key=str):
        raise Refused(f'the icon images of {exe} are not those its group {ICON_GROUP} names')
    for width, height, byte_count, number in group:
        image = resources[pe_image.RT_ICON, number][0]
        try:
            if len(image) != byte_count or pe_image.icon_image_size(image) != (width, height):
                raise ValueError('it is not the size its group says')
        except ValueError as error:
            raise Refused(f'icon image {number} of {exe}, {width} px, does not decode: {error}') from None
    ok(f'icon group {ICON_GROUP} with {len(group)} images, {ICON_SIZES[0]} to {ICON_SIZES[-1]} px, each decoding')


def check_manifest(embedded: bytes, exe: str) -> None:
    """The embedded manifest is ZiBLauncher.manifest, which requests no
    execution level and names no assembly."""
    if embedded != MANIFEST.read_bytes():
        raise Refused(f'the embedded manifest of {exe} is not {MANIFEST.relative_to(ROOT)}')
    requests = {element.tag.rpartition('}')[2] for element in xml.etree.ElementTree.fromstring(embedded).iter()}
    if requests & REQUESTS:
        raise Refused(f'the manifest of {exe} requests an execution level or names an assembly')
    ok('no version block; the manifest, without execution level or assembly')


def build_release(skip: bool) -> None:
    if skip:
        return
    built = subprocess.run([ROOT / 'scripts' / 'build-release'], stdout=subprocess.DEVNULL)
    if built.returncode != 0:
        raise Refused(f'scripts/build-release failed (exit code {built.returncode})')


def verdict(action: Callable[[], None]) -> int:
    """The exit code of ACTION: 0 when it passes, 1 when it refuses, after
    the FAIL line that says why."""
    try:
        action()
    except Refused as refusal:
        print(f'FAIL: {refusal}')
        return 1
    return 0


def check_release(arguments: argparse.Namespace) -> None:
    with tempfile.TemporaryDirectory() as work:
        check_copies(arguments, Path(work))


def check_copies(arguments: argparse.Namespace, work: Path) -> None:
    exe = given(arguments.exe)
    dist = Given(DIST_EXE, 'dist/ZiBLauncher.exe')
    if arguments.ca:
        check_signed_copy(exe, given(arguments.ca), arguments.tsa_ca and given(arguments.tsa_ca), work)
    build_release(arguments.no_build)
    if arguments.ca:
        check_without_signature(exe, work)
        check_notices_beside(exe, given(arguments.notices or str(exe.path.parent / NOTICES_NAME)))
    elif read_bytes(exe) != DIST_EXE.read_bytes():
        raise Refused(f'dist/ZiBLauncher.exe differs from the program the tests ran, {exe.shown}')
    else:
        ok(f'dist/ZiBLauncher.exe ({DIST_EXE.stat().st_size} bytes) is byte for byte the tested program, '
           'built elsewhere')
    check_notices_cover_link()
    check_program(dist)
    if arguments.ca:  # signed, it is still a PE of the same shape
        check_program(exe)


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(prog='scripts/check-release', description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('exe', metavar='EXE', help='the tested program, or with --ca a signed copy')
    parser.add_argument('--ca', metavar='ROOT.pem', help='the root the signer\'s certificate comes from')
    parser.add_argument('--tsa-ca', metavar='TSA_ROOT.pem', help='the root of the timestamp\'s TSA')
    parser.add_argument('--notices', metavar='NOTICES',
                        help=f'the notices shipped with it (default: {NOTICES_NAME} beside it)')
    parser.add_argument('--no-build', action='store_true', help='check against dist/ as it is')
    arguments = parser.parse_args(argv)
    if not arguments.ca and (arguments.tsa_ca or arguments.notices):
        parser.error('--tsa-ca and --notices go with --ca')
    return verdict(lambda: check_release(arguments))


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
