#!/usr/bin/python3
"""scripts/check-release and scripts/sign-release, attacked. Each case makes what a forger or a careless
publisher would, with certificates, a local time-stamping server and a SoftHSM token made once a run in a
temporary folder, runs the real command, and asserts its exit code and last line; for the signer also what it
left beside OUT and the arguments it gave osslsigncode and openssl. Needs dist/ built."""
import concurrent.futures
import functools
import os
import pathlib
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import urllib.parse

import pefile
from asn1crypto import cms, core, crl, pem, x509

SCRIPTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DIST_EXE = os.path.join(os.path.dirname(SCRIPTS), 'dist', 'ZiBLauncher.exe')
NOTICES = 'ZiBLauncher-notices.txt'
DIST_NOTICES = os.path.join(os.path.dirname(DIST_EXE), NOTICES)
SOFTHSM = '/usr/lib/softhsm/libsofthsm2.so'
TOKEN_KEY = 'pkcs11:token=qarn;object=publisher;type=private'
PASSWORD = 'open sesame 4711'  # of every pfx and of the token: no recorded argument may hold it
SECURITY = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_SECURITY']
GENUINE = 'check-genuine/ZiBLauncher.exe'  # signed by scripts/sign-release in setUpClass
# The times the local time-stamping server claims, as the FAIL lines name them.
HOUR_AGO = int(time.time()) - 3600
WHILE_VALID = HOUR_AGO - 24 * 86400  # within the days of the expired certificate
CLAIM = ' (it claims %s by CN={tsa})' % time.strftime('%Y-%m-%dT%H:%M:%SZ', time.gmtime(HOUR_AGO))


def read(path):
    return pathlib.Path(path).read_bytes()


def write(path, data):
    pathlib.Path(path).write_bytes(data.encode() if isinstance(data, str) else data)


def tool(*argv, check=True):
    """Runs a tool that makes the material of a case (not one under test)."""
    done = subprocess.run(argv, capture_output=True)
    if check and done.returncode:
        raise RuntimeError('%s failed: %s' % (argv, done.stderr.decode(errors='replace')))


def certificate(name, issuer=None, usage='codeSigning', days=60):
    """NAME.pem, CN=NAME (or as SUBJECTS says), from ISSUER (self-signed when None) for USAGE (an extended key
    usage, or CA), valid from 30 days ago, when the stamps of the past are made, for DAYS days. Its key is
    NAME.key, unless NAME.csr was made elsewhere (on the token); RSA for the publisher, which MD5 needs."""
    if not os.path.exists(name + '.csr'):
        key = ['rsa:2048'] if name == 'publisher' else ['ec', '-pkeyopt', 'ec_paramgen_curve:P-256']
        tool('openssl', 'req', '-new', '-newkey', *key, '-nodes', '-keyout', name + '.key',
             '-subj', '/CN=' + SUBJECTS.get(name, name), '-out', name + '.csr')
    write(name + '.ext', '\n'.join(
        ['basicConstraints=critical,CA:TRUE', 'keyUsage=critical,keyCertSign'] if usage == 'CA' else
        ['basicConstraints=CA:FALSE', 'keyUsage=critical,digitalSignature', 'extendedKeyUsage=' + usage]))
    issued_by = ['-signkey', name + '.key'] if issuer is None else ['-CA', issuer + '.pem', '-CAkey', issuer + '.key']
    tool('faketime', '-f', '-30d', 'openssl', 'x509', '-req', '-in', name + '.csr', '-days', str(days),
         '-extfile', name + '.ext', '-out', name + '.pem', *issued_by)


def pfx(file, name, *others, options=()):
    """FILE: NAME's key and certificate, with the certificates OTHERS, under PASSWORD."""
    write(file + '.others', b''.join(read(other + '.pem') for other in others))
    tool('openssl', 'pkcs12', '-export', '-inkey', name + '.key', '-in', name + '.pem', '-passout', 'file:password-lf',
         '-out', file, *(['-certfile', file + '.others'] if others else []), *options)


def signature_der(path):
    """The signature in PATH's certificate table, without the entry's header and padding."""
    pe = pefile.PE(data=read(path), fast_load=True)
    table = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].VirtualAddress
    return cms.ContentInfo.load(pe.__data__[table + 8:]).dump()


def forge(target, source=GENUINE, der=None, revision=0x200, padding=b'', entries=1, tail=b'', checksum=None):
    """TARGET: the signed SOURCE with a certificate table of ENTRIES entries of DER (the genuine signature),
    zero-padded to 8 bytes after PADDING, then TAIL, and the checksum of its bytes (or CHECKSUM)."""
    der = der or signature_der(GENUINE)
    padding = bytes(-len(der + padding) % 8) + padding
    table = (struct.pack('<IHH', 8 + len(der) + len(padding), revision, 2) + der + padding) * entries
    pe = pefile.PE(data=read(source), fast_load=True)
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
    directory.Size = len(table)
    pe = pefile.PE(data=bytes(pe.write()[:directory.VirtualAddress]) + table + tail, fast_load=True)
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum() if checksum is None else checksum
    write(target, pe.write())


def flipped(source, target):
    """TARGET: SOURCE with its middle byte, in the code, inverted."""
    data = bytearray(read(source))
    data[len(data) // 2] ^= 0xFF
    write(target, data)


def resigned(path, change, source=GENUINE):
    """A maker: SOURCE with the part of its signed data at PATH (keys) made CHANGE(part), rebuilt with asn1crypto."""
    def make(target):
        signature = cms.ContentInfo.load(signature_der(source))
        *parents, last = ['content', *path]
        parent = functools.reduce(lambda part, key: part[key], parents, signature)
        parent[last] = change(parent[last])
        forge(target, source=source, der=signature.dump(force=True))
    return make


def loaded(name):
    return x509.Certificate.load(pem.unarmor(read(name + '.pem'))[2])


def overwritten_blob(target):
    """TARGET: the genuine copy given osslsigncode's unauthenticated blob, then a payload over the blob."""
    tool('osslsigncode', 'add', '-addUnauthenticatedBlob', '-in', GENUINE, '-out', target)
    der = signature_der(target)
    blob = der[der.index(b'---BEGIN_BLOB---'):][:1024]
    forge(target, source=target, der=der.replace(blob, b'#!/bin/sh\nrm -rf ~\n'.ljust(1024, b'\n')))


def signed_by(*options, source=DIST_EXE):
    """A maker: SOURCE signed by osslsigncode with OPTIONS, as anyone can."""
    return lambda target: tool('osslsigncode', 'sign', *options, '-in', source, '-out', target)


def publisher(*options, pfx_file='publisher.pfx'):
    return ('-pkcs12', pfx_file, '-readpass', 'password-lf', *options)


def attacker(description):
    return ('-certs', 'attacker.pem', '-key', 'attacker.key', '-n', description)


def nested(signed, source):
    """A maker: SIGNED's signature transplanted, nested, into SOURCE's."""
    def make(target):
        write(target + '.sig', signature_der(signed))
        # It writes the copy, then exits with 1 when a signature does not verify.
        tool('osslsigncode', 'attach-signature', '-nest', '-sigin', target + '.sig', '-in', source,
             '-out', target, check=False)
    return make


def stamped(server):
    """A maker: the genuine copy, then a stamp by SERVER (a section of tsa.cnf) made an hour ago."""
    return lambda target: tool('osslsigncode', 'add', '-ts', TestSigning.url(server, HOUR_AGO),
                               '-in', GENUINE, '-out', target)


def restamped(path, change):
    """A maker: the genuine copy stamped by the genuine TSA, then resigned(PATH, CHANGE)."""
    return lambda target: (stamped('genuine')(target), resigned(path, change, source=target)(target))


def expired_but_stamped(target):
    """TARGET: the release signed with the expired certificate (an ECDSA key), stamped while it was valid."""
    signed_by(*publisher('-ts', TestSigning.url('genuine', WHILE_VALID), pfx_file='expired.pfx'))(target)


def nonzero_padding(target):
    """TARGET: the release signed by the publisher, one byte of the zeros that pad its signature made non-zero.
    A signature padded by nothing has none: signed again with a description one byte longer, it has."""
    for signed in (target + '.ZiBLauncher', target + '.ZiBLauncher.'):
        signed_by(*publisher('-n', signed.partition('.exe.')[2]))(signed)
        if len(signature_der(signed)) % 8:
            return forge(target, source=signed, der=signature_der(signed), padding=b'Z')


OTHER_ROOT = 'check-other-root/ZiBLauncher.exe'  # signed by scripts/sign-release in setUpClass
TSA_CA = ['--tsa-ca', 'tsaroot.pem']
UNSIGNED_ATTRIBUTES = ['signer_infos', 0, 'unsigned_attrs']
STAMP = [*UNSIGNED_ATTRIBUTES, 0, 'values', 0, 'content']  # the signed data of the first timestamp
HIDDEN = cms.CMSAttribute({'type': '1.3.6.1.4.1.4711.1', 'values': [core.OctetString(b'#!/bin/sh\nrm -rf ~\n')]})
NOT_VERIFIED = 'FAIL: the signature of {exe} does not verify against root.pem'
NESTED = 'FAIL: {exe} carries a nested signature, which scripts/sign-release never makes'
NOT_ALONE = 'FAIL: the certificate entry of {exe} holds more than its signature and zero padding'
NOT_ONE_STAMP = 'FAIL: the signature of {exe} carries an unauthenticated attribute other than one timestamp: '
STAMP_REFUSED = 'FAIL: the timestamp of {exe} does not verify against tsaroot.pem' + CLAIM
# scripts/check-release --ca root.pem on copies each in a folder of its own,
# dist's notices beside: (copy, how it is made, more options, its last line).
CHECKS = [
    ('genuine', None, [], None),
    ('unsigned', lambda t: shutil.copy(DIST_EXE, t), [], 'FAIL: {exe} has no certificate table: it is not signed'),
    ('appended', lambda t: forge(t, tail=b'appended'), [],
     'FAIL: the certificate table of {exe} does not end the file'),
    ('two-entries', lambda t: forge(t, entries=2), [], 'FAIL: the certificate table of {exe} is not one entry'),
    ('revision-1', lambda t: forge(t, revision=0x100), [],
     'FAIL: the certificate entry of {exe} is not PKCS#7 signed data of revision 2.0'),
    ('padded-1-kib-more', lambda t: forge(t, padding=bytes(1024)), [], NOT_ALONE),
    ('nonzero-padding', nonzero_padding, [], NOT_ALONE),
    ('wrong-checksum', lambda t: forge(t, checksum=0xDEADBEEF), [],
     'FAIL: the PE checksum of {exe} is not that of its bytes'),
    ('flipped-byte', lambda t: (flipped(GENUINE, t), forge(t, source=t)), [],
     'FAIL: the signed digest of {exe} is not the Authenticode digest of its bytes'),
    ('other-root', None, [], NOT_VERIFIED),
    ('other-bytes', lambda t: shutil.copy('other-bytes.exe', t), [],
     'FAIL: {exe} without its signature is not the reproducible release, dist/ZiBLauncher.exe'),
    ('server-auth', signed_by(*publisher(pfx_file='server.pfx')), [], NOT_VERIFIED),
    ('genuine-under-foreign', nested(GENUINE, OTHER_ROOT), [], NESTED),
    ('foreign-under-genuine', nested(OTHER_ROOT, GENUINE), [], NESTED),
    ('genuine-under-genuine', nested(GENUINE, GENUINE), [], NESTED),
    ('description-says-verified', signed_by(*attacker('ZiBLauncher\nSignature verification: ok')), [], NOT_VERIFIED),
    ('description-hides-nested', signed_by('-nest', *attacker('x\nSignature Index: 0  (Primary Signature)'),
                                           source=GENUINE), [], NESTED),
    ('overwritten-blob', overwritten_blob, [], NOT_ONE_STAMP + '1.3.6.1.4.1.42921.1.2.1'),
    ('large-attribute', resigned(UNSIGNED_ATTRIBUTES, lambda _: [cms.CMSAttribute(
        {'type': '1.3.6.1.4.1.4711.1', 'values': [core.OctetString(bytes(69_000))]})]), [],
     NOT_ONE_STAMP + '1.3.6.1.4.1.4711.1'),
    ('two-timestamps', restamped(UNSIGNED_ATTRIBUTES, lambda stamps: list(stamps) * 2), TSA_CA,
     NOT_ONE_STAMP + '1.3.6.1.4.1.311.3.3.1'),
    ('two-signer-infos-in-timestamp', restamped([*STAMP, 'signer_infos'], lambda infos: list(infos) * 2), TSA_CA,
     'FAIL: the timestamp of {exe} has 2 signer infos, not one'),
    ('attribute-in-timestamp', restamped([*STAMP, 'signer_infos', 0, 'unsigned_attrs'], lambda _: [HIDDEN]), TSA_CA,
     'FAIL: the timestamp of {exe} carries an unauthenticated attribute: 1.3.6.1.4.1.4711.1'),
    ('two-signer-infos', resigned(['signer_infos'], lambda infos: list(infos) * 2), [],
     'FAIL: the signature of {exe} has 2 signer infos, not one'),
    ('stranger-certificate', resigned(['certificates'], lambda certificates: [*certificates, loaded('attacker')]),
     [], "FAIL: the signature of {exe} carries a certificate not on its signer's chain: CN=attacker\\nok: signed"),
    ('impostor-root', resigned(['certificates'], lambda certificates: [
        *(c for c in certificates if not c.chosen.self_issued), loaded('impostor')]), [],
     "FAIL: the signature of {exe} carries a certificate not on its signer's chain: CN=root"),
    ('revocation-list', resigned(['crls'], lambda _: [crl.CertificateList.load(pem.unarmor(read('root.crl'))[2])]),
     [], 'FAIL: the signature of {exe} carries revocation lists'),
    ('parameters-of-signature-algorithm', lambda t: (expired_but_stamped(t), resigned(
        ['signer_infos', 0, 'signature_algorithm'], lambda algorithm: {'algorithm': algorithm['algorithm'].native,
                                                                       'parameters': HIDDEN['values'][0]},
        source=t)(t)), TSA_CA, 'FAIL: the signature of {exe} uses sha256_ecdsa with parameters, not SHA-256'),
    ('md5-beside-signature', resigned(['digest_algorithms'], lambda _: [{'algorithm': 'md5'}]), [],
     'FAIL: the signature of {exe} uses md5, not SHA-256'),
    ('sha1', signed_by(*publisher('-h', 'sha1')), [], 'FAIL: the signature of {exe} uses sha1, not SHA-256'),
    ('md5', signed_by(*publisher('-h', 'md5')), [], 'FAIL: the signature of {exe} uses md5, not SHA-256'),
    ('self-signed-tsa', stamped('self_signed'), TSA_CA, STAMP_REFUSED.format(exe='{exe}', tsa='attacker TSA')),
    ('expired-tsa', stamped('expired'), TSA_CA, STAMP_REFUSED.format(exe='{exe}', tsa='expired TSA')),
    ('stamp-unchecked', stamped('genuine'), [],
     'FAIL: {exe} carries a timestamp, but no --tsa-ca was given to check it' + CLAIM.format(tsa='tsa')),
    ('stamp-checked', stamped('genuine'), TSA_CA, None),
    ('expired-but-stamped', expired_but_stamped, TSA_CA, None),
    ('lying-notices', lambda t: (shutil.copy(GENUINE, t), write(t.replace('ZiBLauncher.exe', NOTICES),
                                                                'No third-party code.\r\n')), [],
     'FAIL: the notices beside {exe} differ from those built here, dist/ZiBLauncher-notices.txt'),
    ('no-notices', lambda t: shutil.copy(GENUINE, t), ['--notices', 'none.txt'],
     'FAIL: no notices beside {exe}: none.txt'),
]

EARLIER = {'ZiBLauncher.exe': GENUINE, NOTICES: b'the notices of an earlier release\r\n'}
PFX = ['../publisher.pfx', 'ZiBLauncher.exe']
TOKEN = ['--pkcs11-module', SOFTHSM, '--key', TOKEN_KEY, '--certs', '../token.chain', 'ZiBLauncher.exe']
DESCRIPTION = bytes.fromhex('300fa00d810b') + b'ZiBLauncher'  # SpcSpOpusInfo, its programName in ASCII
SIGNED = '{out}: {size} bytes, signed with {key}, {stamp}, with ZiBLauncher-notices.txt beside it'
NOT_A_SIGNED_COPY = 'FAIL: {out} exists and is not a signed copy of this program; remove it or name another output'
CHECK_REFUSED = ('FAIL: the signed copy does not pass the check: '
                 'the signature of {out} does not verify against ../root.pem')
# scripts/sign-release run in a folder of its own: (case, its arguments, its
# environment, what the folder of OUT holds before, its last line). Refused,
# it leaves that folder as it was.
SIGNS = [
    ('program-itself', ['../publisher.pfx', DIST_EXE], {}, {}, 'FAIL: the output, {out}, is the program to sign'),
    ('notes', ['../publisher.pfx', 'notes.txt'], {}, {'notes.txt': b"a player's notes\n"}, NOT_A_SIGNED_COPY),
    ('unsigned-program', PFX, {}, {'ZiBLauncher.exe': DIST_EXE}, NOT_A_SIGNED_COPY),
    ('another-vendors-program', PFX, {}, {'ZiBLauncher.exe': 'other-bytes.exe'}, NOT_A_SIGNED_COPY),
    ('server-auth', ['../server.pfx', 'ZiBLauncher.exe'], {}, EARLIER,
     'FAIL: the certificate in ../server.pfx is not for code signing '
     '(extended key usage: TLS Web Server Authentication)'),
    ('password-of-two-lines', PFX, {'QARN_SIGN_PASSWORD_FILE': '../password-2'}, EARLIER,
     'FAIL: the password file ../password-2 holds more than one line'),
    ('unreachable-tsa', PFX, {'QARN_SIGN_TIMESTAMP_URL': 'http://127.0.0.1:9/', 'QARN_SIGN_TSA_CA': '../tsaroot.pem'},
     EARLIER, 'FAIL: no time-stamping server answered: http://127.0.0.1:9/'),
    ('stamp-without-tsa-root', PFX, {'QARN_SIGN_TIMESTAMP_URL': '{tsa}'}, EARLIER, 'FAIL: QARN_SIGN_TIMESTAMP_URL '
     'names time-stamping servers, but QARN_SIGN_TSA_CA no root to check their timestamps against'),
    ('wrong-pin', TOKEN, {'QARN_SIGN_PASSWORD_FILE': '../wrong-pin'}, EARLIER,
     'FAIL: osslsigncode could not sign: Login failed'),
    ('expired-certificate', ['--ca', '../root.pem', '../expired.pfx', 'ZiBLauncher.exe'], {}, EARLIER, CHECK_REFUSED),
    ('missing-intermediate', ['--ca', '../root.pem', '../orphan.pfx', 'ZiBLauncher.exe'], {}, EARLIER, CHECK_REFUSED),
    ('output-named-help', ['../publisher.pfx', '--', '--help'], {}, {}, SIGNED),
    ('output-named-like-an-option', ['../publisher.pfx', '--', '-out.exe'], {}, {}, SIGNED),
    ('output-with-a-space', ['../publisher.pfx', 'signed copy.exe'], {}, {}, SIGNED),
    ('over-earlier-copy-password-lf', PFX, {'QARN_SIGN_PASSWORD_FILE': '../password-lf'}, EARLIER, SIGNED),
    ('stale-notices', PFX, {}, {NOTICES: EARLIER[NOTICES]}, SIGNED),
    ('pfx-with-stranger', ['../crowded.pfx', 'ZiBLauncher.exe'], {}, {}, SIGNED),
    ('token', TOKEN, {}, {}, SIGNED),
    ('second-of-three-tsas-answers', PFX, {'QARN_SIGN_TIMESTAMP_URL': 'http://127.0.0.1:9/ {tsa} http://127.0.0.1:9/',
                                           'QARN_SIGN_TSA_CA': '../tsaroot.pem'}, EARLIER, SIGNED),
]


def inverted_icon_crc(pe):
    """The last byte of icon image 4, a PNG's, of its IEND chunk's CRC, inverted."""
    icons = next(kind for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == pefile.RESOURCE_TYPE['RT_ICON'])
    image = next(name for name in icons.directory.entries if name.id == 4).directory.entries[0].data.struct
    last = pe.get_offset_from_rva(image.OffsetToData + image.Size - 1)
    pe.set_bytes_at_offset(last, bytes([pe.__data__[last] ^ 0xFF]))


# scripts/check-release dist/ZiBLauncher.exe --no-build, run by a copy of the scripts beside the build, whose
# dist/ holds the program as CHANGE(pefile.PE) made it: (case, CHANGE, its last line).
BUILDS = [
    ('time-stamped', lambda pe: setattr(pe.FILE_HEADER, 'TimeDateStamp', 1),
     'FAIL: dist/ZiBLauncher.exe is not stamped with time 0'),
    ('icon-crc', inverted_icon_crc,
     "FAIL: icon image 4 of dist/ZiBLauncher.exe, 48 px, does not decode: the CRC of its b'IEND' chunk is wrong"),
]
CERTIFICATES = [  # (name, issuer, usage[, days])
    ('root', None, 'CA'), ('other', None, 'CA'), ('tsaroot', None, 'CA'), ('intermediate', 'root', 'CA'),
    ('publisher', 'root', 'codeSigning'),
    ('vendor', 'other', 'codeSigning'), ('server', 'root', 'serverAuth'), ('expired', 'root', 'codeSigning', 10),
    ('orphan', 'intermediate', 'codeSigning'), ('attacker', None, 'codeSigning'),
    ('tsa', 'tsaroot', 'critical,timeStamping'), ('attacker TSA', None, 'critical,timeStamping'),
    ('expired TSA', 'tsaroot', 'critical,timeStamping', 10), ('impostor', None, 'CA')]
# A stranger's name that would end the FAIL line, were it not escaped; a root's name anyone can copy.
SUBJECTS = {'attacker': 'attacker\nok: signed', 'impostor': 'root'}
PFXS = [('publisher.pfx', 'publisher', 'root'), ('server.pfx', 'server', 'root'), ('expired.pfx', 'expired', 'root'),
        ('orphan.pfx', 'orphan'), ('crowded.pfx', 'publisher', 'root', 'attacker')]
TSAS = {'genuine': 'tsa', 'self_signed': 'attacker TSA', 'expired': 'expired TSA'}  # section of tsa.cnf: certificate
# Stand-ins first on PATH: each records its arguments, then runs the real tool.
RECORDER = '#!/bin/sh\nprintf "%s\\0" "${{0##*/}}" "$@" >>"$QARN_ARGV_RECORD"\nexec {tool} "$@"\n'


def make_token():
    """A SoftHSM token with the publisher's key pair, made on it, and token.chain, its certificate from root."""
    os.makedirs('tokens')
    write('softhsm2.conf', 'directories.tokendir = %s\nobjectstore.backend = file\n' % os.path.abspath('tokens'))
    os.environ['SOFTHSM2_CONF'] = os.path.abspath('softhsm2.conf')
    tool('softhsm2-util', '--init-token', '--free', '--label', 'qarn', '--so-pin', PASSWORD, '--pin', PASSWORD)
    tool('pkcs11-tool', '--module', SOFTHSM, '--token-label', 'qarn', '--login', '--pin', PASSWORD, '--keypairgen',
         '--key-type', 'EC:prime256v1', '--label', 'publisher', '--usage-sign', '--sensitive')  # never extractable
    tool('openssl', 'req', '-new', '-engine', 'pkcs11', '-keyform', 'engine', '-subj', '/CN=token', '-out', 'token.csr',
         '-key', TOKEN_KEY + ';pin-value=' + urllib.parse.quote(PASSWORD))
    certificate('token', 'root')
    write('token.chain', read('token.pem') + read('root.pem'))


def make_material():
    for file, ending in (('password-crlf', '\r\n'), ('password-lf', '\n'), ('password-2', '\nsecond line\n')):
        write(file, PASSWORD + ending)
    write('wrong-pin', '0000\n')
    for row in CERTIFICATES:
        certificate(*row)
    for row in PFXS:
        pfx(*row)
    pfx('vendor.pfx', 'vendor', 'other', options=['-legacy'])  # the older encryption, as Windows exports it
    make_token()
    write('serial', '01\n')
    write('index.txt', '')
    write('ca.cnf', '[ca]\ndefault_ca = root\n[root]\ndatabase = index.txt\ndefault_md = sha256\n')
    tool('openssl', 'ca', '-gencrl', '-crldays', '30', '-config', 'ca.cnf', '-keyfile', 'root.key', '-cert', 'root.pem',
         '-out', 'root.crl')  # the root's revocation list, which none of its certificates is on
    write('tsa.cnf', ''.join(
        '[%s]\nserial = serial\nsigner_cert = %s.pem\nsigner_key = %s.key\ncerts = %s.pem\nsigner_digest = sha256\n'
        'default_policy = 1.2.3.4.1\ndigests = sha256\ness_cert_id_alg = sha256\n' % (section, name, name, name)
        for section, name in TSAS.items()))
    os.makedirs('bin')
    for name in ('osslsigncode', 'openssl'):
        write('bin/' + name, RECORDER.format(tool=shutil.which(name)))
        os.chmod('bin/' + name, 0o755)


def run(script, *args, cwd='.', **env):
    """SCRIPT (in scripts/, unless an absolute path) run with ARGS in CWD, ENV added to the environment."""
    return subprocess.run([os.path.join(SCRIPTS, script), *args], cwd=cwd, env=dict(os.environ, **env),
                          capture_output=True, text=True)


def snapshot(folder):
    """The files of FOLDER and their bytes, its folders (a temporary one left behind) with None."""
    paths = {name: os.path.join(folder, name) for name in os.listdir(folder)}
    return {name: read(path) if os.path.isfile(path) else None for name, path in paths.items()}


def observe_check(name, make, options):
    """check-release's run on the copy of case NAME, made by MAKE."""
    exe = 'check-%s/ZiBLauncher.exe' % name
    if make:
        os.makedirs(os.path.dirname(exe))
        shutil.copy(DIST_NOTICES, os.path.dirname(exe))
        make(exe)
    return run('check-release', exe, '--ca', 'root.pem', '--no-build', *options)


def observe_sign(name, args, env, before):
    """sign-release's run in the folder sign-NAME, prepared with BEFORE: the run, the folder of OUT before and
    after, the arguments recorded, and when it signed, check-release's run on OUT and OUT's signature."""
    folder = 'sign-' + name
    os.makedirs(folder)
    for file, content in before.items():
        write(os.path.join(folder, file), read(content) if isinstance(content, str) else content)
    signed, record = os.path.join(folder, args[-1]), os.path.abspath(folder + '.argv')
    seen = snapshot(os.path.dirname(signed))
    done = run('sign-release', *args, cwd=folder, QARN_ARGV_RECORD=record,
               PATH=os.path.abspath('bin') + os.pathsep + os.environ['PATH'],
               **{variable: value.format(tsa=TestSigning.url('genuine')) for variable, value in env.items()})
    recorded = read(record) if os.path.exists(record) else b''
    if done.returncode:
        return done, seen, snapshot(os.path.dirname(signed)), recorded, None, None
    stamp = ['--tsa-ca', '../tsaroot.pem'] if 'QARN_SIGN_TIMESTAMP_URL' in env else []
    checked = run('check-release', './' + args[-1], '--ca', '../root.pem', '--no-build', *stamp, cwd=folder)
    return done, seen, snapshot(os.path.dirname(signed)), recorded, checked, cms.ContentInfo.load(signature_der(signed))


def observe_build(name, change):
    """check-release's run, in the folder build-NAME, on a dist/ZiBLauncher.exe that CHANGE made."""
    root = os.path.abspath('build-' + name)
    shutil.copytree(SCRIPTS, os.path.join(root, 'scripts'))
    for part in ('build', 'launcher'):
        os.symlink(os.path.join(os.path.dirname(SCRIPTS), part), os.path.join(root, part))
    os.makedirs(os.path.join(root, 'dist'))
    shutil.copy(DIST_NOTICES, os.path.join(root, 'dist'))
    pe = pefile.PE(DIST_EXE)
    change(pe)
    pe = pefile.PE(data=pe.write(), fast_load=True)
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    write(os.path.join(root, 'dist', 'ZiBLauncher.exe'), pe.write())
    return run(os.path.join(root, 'scripts', 'check-release'), 'dist/ZiBLauncher.exe', '--no-build', cwd=root)


class TestSigning(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.addClassCleanup(os.chdir, os.getcwd())
        os.chdir(tempfile.mkdtemp(prefix='test-signing.'))
        cls.addClassCleanup(shutil.rmtree, os.getcwd())
        make_material()
        cls.tsa = subprocess.Popen(['/usr/bin/python3', os.path.join(SCRIPTS, 'tests', 'tsa_responder.py'), 'tsa.cnf',
                                    '120'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(lambda: (cls.tsa.terminate(), cls.tsa.wait()))  # it would stop by itself in 120 s
        cls.port = int(cls.tsa.stdout.readline())
        cls.tsa.stdout.close()
        os.environ['QARN_SIGN_PASSWORD_FILE'] = os.path.abspath('password-crlf')  # as a Windows editor writes it
        for out, key in ((GENUINE, 'publisher.pfx'), (OTHER_ROOT, 'vendor.pfx')):
            signing = run('sign-release', key, out)
            assert signing.returncode == 0, signing.stdout + signing.stderr
        if os.environ.get('QARN_SIGNED_COPY'):  # for the Wine suite to run as players get it
            shutil.copyfile(GENUINE, os.environ['QARN_SIGNED_COPY'])
        flipped(DIST_EXE, 'other-bytes.unsigned')
        signed_by(*publisher(), source='other-bytes.unsigned')('other-bytes.exe')
        # The cases run two at a time, each in its own folder; the tests judge what they observed.
        pool = concurrent.futures.ThreadPoolExecutor(2)
        cls.addClassCleanup(pool.shutdown, cancel_futures=True)
        cls.observed = {(method, case[0]): pool.submit(observe, *case[:-1]) for method, table, observe in (
            ('check', CHECKS, observe_check), ('sign', SIGNS, observe_sign), ('build', BUILDS, observe_build))
            for case in table}

    @classmethod
    def url(cls, server, unix_time=None):
        return 'http://127.0.0.1:%d/%s%s' % (cls.port, server, '/%d' % unix_time if unix_time else '')

    def assertLast(self, done, line):
        """DONE exited with 1 after the FAIL line LINE, else with 0 (and LINE last, unless None)."""
        last = (done.stdout.splitlines() or [''])[-1]
        code = 1 if line and line.startswith('FAIL: ') else 0
        self.assertEqual((done.returncode, last if line else None), (code, line), done.stdout + done.stderr)

    def check(self, name, make, options, line):
        exe = 'check-%s/ZiBLauncher.exe' % name
        self.assertLast(self.observed['check', name].result(), line and line.format(exe=exe))

    def build(self, name, change, line):
        self.assertLast(self.observed['build', name].result(), line)

    def sign(self, name, args, env, before, line):
        done, seen, left, recorded, checked, signature = self.observed['sign', name].result()
        out = args[-1]
        self.assertNotIn(PASSWORD.encode(), recorded)
        if line.startswith('FAIL: '):
            self.assertLast(done, line.format(out=out))
            return self.assertEqual(left, seen)
        self.assertLast(done, line.format(
            out=out, size=len(left.get(out, b'')),
            key=next(arg for arg in args if arg.endswith('.pfx') or arg == TOKEN_KEY),
            stamp='stamped by ' + self.url('genuine') if 'QARN_SIGN_TIMESTAMP_URL' in env else 'not timestamped'))
        self.assertIn(b'osslsigncode\0sign\0', recorded)  # the stand-in on PATH was the one called
        self.assertEqual({**left, out: b''}, {out: b'', NOTICES: read(DIST_NOTICES)})
        signed_data = signature['content']  # the signer's chain alone, described as the program
        self.assertEqual(sorted(c.chosen.subject.native['common_name'] for c in signed_data['certificates']),
                         sorted(['publisher' if TOKEN_KEY not in args else 'token', 'root']))
        self.assertEqual([a['values'][0].dump() for a in signed_data['signer_infos'][0]['signed_attrs']
                          if a['type'].dotted == '1.3.6.1.4.1.311.2.1.12'], [DESCRIPTION])
        self.assertEqual([attribute['type'].dotted for attribute in signed_data['signer_infos'][0]['unsigned_attrs']],
                         ['1.3.6.1.4.1.311.3.3.1'] if 'QARN_SIGN_TIMESTAMP_URL' in env else [])  # stamped as it says
        self.assertLast(checked, None)


for table, method in ((CHECKS, 'check'), (SIGNS, 'sign'), (BUILDS, 'build')):
    for case in table:
        setattr(TestSigning, 'test_%s_%s' % (method, case[0].replace('-', '_')),
                lambda self, method=method, case=case: getattr(self, method)(*case))

if __name__ == '__main__':
    unittest.main(verbosity=2)
