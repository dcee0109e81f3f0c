"""Authenticode signatures as asn1crypto reads them. A signature is a PKCS#7
ContentInfo holding SignedData around an SpcIndirectDataContent (what kind
of file is signed, and its digest); its RFC 3161 timestamp, an
unauthenticated attribute of its signer info, is itself SignedData around a
TSTInfo. read() takes from one SignedData all that the checks judge, at
once: a malformed structure fails there, not halfway through the checks."""

from dataclasses import dataclass

from asn1crypto import algos, cms, core, parser, tsp, x509

SPC_INDIRECT_DATA = '1.3.6.1.4.1.311.2.1.4'
TST_INFO = '1.2.840.113549.1.9.16.1.4'
NESTED_SIGNATURE = '1.3.6.1.4.1.311.2.4.1'
TIMESTAMP_TOKEN = '1.3.6.1.4.1.311.3.3.1'
# RFC 4514's short names of the attributes of names, for showing them.
SHORT_NAMES = {'common_name': 'CN', 'organization_name': 'O', 'organizational_unit_name': 'OU',
               'country_name': 'C', 'state_or_province_name': 'ST', 'locality_name': 'L',
               'email_address': 'emailAddress'}


class SpcAttributeTypeAndOptionalValue(core.Sequence):
    """The kind of file signed (SpcPeImageData for a PE), left unparsed."""
    _fields = [('type', core.ObjectIdentifier), ('value', core.Any, {'optional': True})]


class SpcIndirectDataContent(core.Sequence):
    _fields = [('data', SpcAttributeTypeAndOptionalValue), ('message_digest', algos.DigestInfo)]


@dataclass
class SignedData:
    """What the checks judge of one SignedData, whose first signer info
    SIGNER_INFO is. CERTIFICATES holds None for a choice that is no X.509
    certificate; SIGNER is the certificate the signer info names, if there;
    DIGEST_ALGORITHMS are the SignedData's own, then the signer info's;
    UNSIGNED_ATTRIBUTES (OID, number of values) the signer info's."""
    content: SpcIndirectDataContent | tsp.TSTInfo
    signer_infos: int
    digest_algorithms: list[algos.DigestAlgorithm]
    signature_algorithm: algos.SignedDigestAlgorithm
    signature: bytes
    certificates: list[x509.Certificate | None]
    signer: x509.Certificate | None
    revocation_lists: int
    unsigned_attributes: list[tuple[str, int]]
    signer_info: cms.SignerInfo


def der_length(data: bytes) -> int:
    """The length of the DER element that DATA begins with, its tag and
    length octets included. Raises ValueError when DATA holds none whole."""
    _, _, _, header, contents, trailer = parser.parse(data)
    return len(header) + len(contents) + len(trailer)


def read(der: bytes, content_type: str) -> SignedData:
    """The SignedData of DER, a ContentInfo that is exactly DER's bytes,
    around content of CONTENT_TYPE (SPC_INDIRECT_DATA or TST_INFO). Raises
    ValueError when DER is none such."""
    info = cms.ContentInfo.load(der, strict=True)
    if info['content_type'].native != 'signed_data':
        raise ValueError(f"it holds {info['content_type'].dotted}, not signed data")
    signed = info['content']
    encapsulated = signed['encap_content_info']
    if encapsulated['content_type'].dotted != content_type:
        raise ValueError(f"it signs {encapsulated['content_type'].dotted}, not {content_type}")
    if content_type == SPC_INDIRECT_DATA:
        content = encapsulated['content'].parse(SpcIndirectDataContent)
    else:
        content = encapsulated['content'].parsed
    signers = list(signed['signer_infos'])
    if not signers:
        raise ValueError('it has no signer info')
    signer_info = signers[0]
    digest_algorithms = [*signed['digest_algorithms'], signer_info['digest_algorithm']]
    certificates = [choice.chosen if choice.name == 'certificate' else None for choice in signed['certificates']]
    unsigned_attributes = [(attribute['type'].dotted, len(attribute['values']))
                           for attribute in signer_info['unsigned_attrs']]
    # asn1crypto parses lazily: each part the checks read is parsed now, so
    # that a malformed one fails here.
    for part in [content['message_digest'] if content_type == SPC_INDIRECT_DATA else content,
                 *digest_algorithms, signer_info['signature_algorithm'], signer_info['sid'], signed['crls'],
                 *filter(None, certificates)]:
        part.native
    return SignedData(
        content=content, signer_infos=len(signers), digest_algorithms=digest_algorithms,
        signature_algorithm=signer_info['signature_algorithm'], signature=signer_info['signature'].native,
        certificates=certificates, signer=named_certificate(signer_info['sid'], filter(None, certificates)),
        revocation_lists=len(signed['crls']), unsigned_attributes=unsigned_attributes, signer_info=signer_info)


def named_certificate(sid: cms.SignerIdentifier, certificates) -> x509.Certificate | None:
    """The certificate among CERTIFICATES that SID names, if any."""
    for certificate in certificates:
        if sid.name == 'issuer_and_serial_number':
            if (certificate.issuer == sid.chosen['issuer']
                    and certificate.serial_number == sid.chosen['serial_number'].native):
                return certificate
        elif certificate.key_identifier == sid.chosen.native:
            return certificate
    return None


def timestamp_token(signed: SignedData) -> bytes | None:
    """The DER of the first value of the signer info's first timestamp
    attribute, if it has one."""
    for attribute in signed.signer_info['unsigned_attrs']:
        if attribute['type'].dotted == TIMESTAMP_TOKEN:
            return attribute['values'][0].dump()
    return None


def name_text(name: x509.Name) -> str:
    """NAME as RFC 4514 writes it, its most specific part first: CN=...,O=..."""
    return ','.join('+'.join(f"{SHORT_NAMES.get(part['type'].native, part['type'].dotted)}={part['value'].native}"
                             for part in relative)
                    for relative in reversed(name.chosen))
