#!/usr/bin/python3
"""Authenticode-signs the program that ships.

Signs dist/ZiBLauncher.exe (left by scripts/build-release), SHA-256, with
the description ZiBLauncher, with the key of CERT.pfx or the token's key at
PKCS11_URI (CHAIN.pem: its certificate first, then its issuers), into OUT,
dist/signed/ZiBLauncher.exe unless given, with dist's notices beside it. The
unsigned program stays the reproducible one: the signed copy is it plus a
signature, which scripts/check-release SIGNED --ca ROOT.pem proves.

The signature carries only the signer's chain: the certificate of the key
and its issuers up to the root, none of the other certificates of a pfx.
The signed copy must pass the rules of scripts/check-release (under ROOT.pem,
else the self-signed root of that chain) before it replaces OUT, which it
does only where OUT is an earlier signed copy of this program.

QARN_SIGN_PASSWORD_FILE: the password of CERT.pfx or the token's PIN, one
  line (none when unset); never an argument of any program, which other
  users could read.
QARN_SIGN_TIMESTAMP_URL: RFC 3161 time-stamping servers, space-separated,
  tried in order until one answers, so that the signature outlives the
  certificate; QARN_SIGN_TSA_CA: the root (PEM) their timestamps must
  verify against.

Exits with 0, or with 1 after a last line "FAIL: <reason>", or with 2 on a
usage error.
"""

import argparse
import os
import re
import secrets
import shutil
import subprocess
import sys
import tempfile
from dataclasses import dataclass
from pathlib import Path

from asn1crypto import keys, pem, x509

from check_release import (DIST_EXE, DIST_NOTICES, NOTICES_NAME, ROOT, Given, Refused, check_signed_copy,
                           check_without_signature, escape, given, is_release_plus_signature, run, signer_chain,
                           verdict, write_certificates)

USAGE = '''
  scripts/sign-release [--ca ROOT.pem] CERT.pfx [OUT]
  scripts/sign-release [--ca ROOT.pem] --pkcs11-module MODULE.so --key PKCS11_URI --certs CHAIN.pem [OUT]'''
DEFAULT_OUT = ROOT / 'dist' / 'signed' / 'ZiBLauncher.exe'
TIMESTAMP_SECONDS = 60  # osslsigncode waits for ever on a server that never answers
# OpenSSL's names of extended key usages, for saying what a certificate is for.
USAGE_NAMES = {'server_auth': 'TLS Web Server Authentication', 'client_auth': 'TLS Web Client Authentication',
               'code_signing': 'Code Signing', 'email_protection': 'E-mail Protection',
               'time_stamping': 'Time Stamping', 'ocsp_signing': 'OCSP Signing'}


@dataclass
class Signer:
    """A key and its certificates. SHOWN names the key (the pfx, or the
    token key's URI), SOURCE the file the certificates came from; OPTIONS
    give osslsigncode the key, whose password or PIN is in PASSWORD_FILE."""
    shown: str
    source: str
    leaf: x509.Certificate
    certificates: list[x509.Certificate]
    options: list
    password_file: Path


def read_secret() -> bytes:
    """The password or PIN in the file QARN_SIGN_PASSWORD_FILE names (empty
    when unset): its one line, without its LF or CR LF."""
    name = os.environ.get('QARN_SIGN_PASSWORD_FILE')
    if not name:
        return b''
    try:
        text = Path(name).read_bytes()
    except OSError as error:
        raise Refused(f'cannot read the password file {escape(name)}: {error.strerror}') from None
    line = text[:-2] if text.endswith(b'\r\n') else text.removesuffix(b'\n')
    if b'\n' in line or b'\r' in line:
        raise Refused(f'the password file {escape(name)} holds more than one line')
    return line


def pfx_signer(pfx: Given, secret: bytes, work: Path) -> Signer:
    """The key of PFX and the certificate whose public key is its own. The
    key goes into WORK encrypted under a password made here (the pfx's is
    given to openssl on its standard input): osslsigncode then signs with
    that key and the signer's chain alone. -legacy also reads the older
    encryption of PKCS#12 files that Windows exports."""
    password_file = work / 'key-password'
    password_file.write_bytes(secrets.token_hex(16).encode())
    done = subprocess.run(['openssl', 'pkcs12', '-legacy', '-in', pfx.path, '-passin', 'stdin',
                           '-passout', f'file:{password_file}'], input=secret + b'\n', capture_output=True)
    if done.returncode != 0:
        raise Refused(f'cannot read the certificate in {pfx.shown}: {first_line(done.stderr)}')
    blocks = list(pem.unarmor(done.stdout, multiple=True))
    certificates = [x509.Certificate.load(der) for kind, _, der in blocks if kind == 'CERTIFICATE']
    key_blocks = [der for kind, _, der in blocks if kind == 'ENCRYPTED PRIVATE KEY']
    if not key_blocks:
        raise Refused(f'{pfx.shown} holds no key')
    key_file = work / 'key.pem'
    key_file.write_bytes(pem.armor('ENCRYPTED PRIVATE KEY', key_blocks[0]))
    public = subprocess.run(['openssl', 'pkey', '-in', key_file, '-passin', f'file:{password_file}', '-pubout',
                             '-outform', 'DER'], capture_output=True)
    public_key = keys.PublicKeyInfo.load(public.stdout).dump() if public.returncode == 0 else None
    leaf = next((c for c in certificates if c.public_key.dump() == public_key), None)
    if leaf is None:
        raise Refused(f'{pfx.shown} holds no certificate with its key')
    return Signer(pfx.shown, pfx.shown, leaf, certificates, ['-key', key_file], password_file)


def token_signer(arguments: argparse.Namespace, secret: bytes, work: Path) -> Signer:
    """The token's key, through OpenSSL's PKCS#11 engine and the token's
    own module, with the certificates of CHAIN.pem, the first its own."""
    chain = given(arguments.certs)
    try:
        certificates = [x509.Certificate.load(der) for kind, _, der in
                        pem.unarmor(chain.path.read_bytes(), multiple=True) if kind == 'CERTIFICATE']
    except (OSError, ValueError) as error:
        raise Refused(f'cannot read the certificates in {chain.shown}: {escape(str(error))}') from None
    if not certificates:
        raise Refused(f'{chain.shown} holds no certificate')
    engines = re.search(r'ENGINESDIR: "(.*)"', run('openssl', 'version', '-e').stdout).group(1)
    options = ['-pkcs11engine', f'{engines}/pkcs11.so', '-pkcs11module', arguments.pkcs11_module,
               '-key', arguments.key]
    (work / 'pin').write_bytes(secret)
    return Signer(escape(arguments.key), chain.shown, certificates[0], certificates, options, work / 'pin')


def first_line(text: str | bytes) -> str:
    """The first line of a tool's errors that says something, escaped."""
    if isinstance(text, bytes):
        text = text.decode('utf-8', 'replace')
    return escape(next((line.strip() for line in text.splitlines() if line.strip()), 'no reason given'))


def check_code_signing(signer: Signer) -> None:
    """osslsigncode signs with any certificate, but Windows trusts the
    signature only where its certificate is for code signing."""
    usages = signer.leaf.extended_key_usage_value
    names = [USAGE_NAMES.get(usage, usage) for usage in (usages.native if usages else [])]
    if 'Code Signing' not in names:
        raise Refused(f'the certificate in {signer.source} is not for code signing '
                      f'(extended key usage: {", ".join(names) or "none"})')


def root_of(chain: list[x509.Certificate], ca: str | None, signer: Signer, work: Path) -> Given:
    """The root the signed copy must verify against: CA when given, else
    the self-signed root that ends the signer's chain."""
    if ca:
        return given(ca)
    if not chain[-1].self_issued:
        raise Refused(f'{signer.source} holds no root for its certificate; name one with --ca')
    return Given(write_certificates(work, root=chain[-1:])['root'], f'the root in {signer.source}')


def sign(signer: Signer, chain: list[x509.Certificate], work: Path) -> Path:
    signed = work / 'signed.exe'
    certificates = write_certificates(work, chain=chain)['chain']
    done = run('osslsigncode', 'sign', *signer.options, '-certs', certificates, '-readpass', signer.password_file,
               '-h', 'sha256', '-n', 'ZiBLauncher', '-in', DIST_EXE, '-out', signed)
    if done.returncode != 0:
        raise Refused(f'osslsigncode could not sign: {first_line(done.stderr)}')
    return signed


def stamp(signed: Path, urls: list[str], work: Path) -> tuple[Path, str]:
    """SIGNED with the timestamp of the first of URLS that answers, and
    that server."""
    for url in urls:
        stamped = work / 'stamped.exe'
        stamped.unlink(missing_ok=True)
        try:
            done = run('osslsigncode', 'add', '-ts', url, '-in', signed, '-out', stamped, timeout=TIMESTAMP_SECONDS)
        except subprocess.TimeoutExpired:
            print(f'  {escape(url)}: no answer within {TIMESTAMP_SECONDS} s')
            continue
        if done.returncode == 0:
            return stamped, url
        print(f'  {escape(url)}: {first_line(done.stderr)}')
    raise Refused(f'no time-stamping server answered: {escape(" ".join(urls))}')


def check_output(out: Given, work: Path) -> None:
    """The output is replaced only when it is a signed copy that an earlier
    run left: not the program itself, nor anyone's other file."""
    if out.path.exists() and out.path.samefile(DIST_EXE):
        raise Refused(f'the output, {out.shown}, is the program to sign')
    if (out.path.exists() or out.path.is_symlink()) and not (
            out.path.is_file() and is_release_plus_signature(out.path, work)):
        raise Refused(f'{out.shown} exists and is not a signed copy of this program; '
                      'remove it or name another output')


def release(arguments: argparse.Namespace, out: Given) -> None:
    if not (DIST_EXE.is_file() and DIST_NOTICES.is_file()):
        raise Refused('no dist/ZiBLauncher.exe and its notices; run scripts/build-release first')
    urls = os.environ.get('QARN_SIGN_TIMESTAMP_URL', '').split()
    tsa_ca = os.environ.get('QARN_SIGN_TSA_CA')
    if urls and not tsa_ca:
        raise Refused('QARN_SIGN_TIMESTAMP_URL names time-stamping servers, but QARN_SIGN_TSA_CA '
                      'no root to check their timestamps against')
    secret = read_secret()
    out.path.parent.mkdir(parents=True, exist_ok=True)
    # Beside OUT, so that the copy is renamed over it; 0700, so that the key
    # and the password files in it are the user's alone.
    with tempfile.TemporaryDirectory(dir=out.path.parent, prefix=f'.{out.path.name}.') as folder:
        work = Path(folder)
        check_output(out, work)
        if arguments.key:
            signer = token_signer(arguments, secret, work)
        else:
            signer = pfx_signer(given(arguments.paths[0]), secret, work)
        signed, server = checked_copy(signer, arguments.ca, urls, tsa_ca and given(tsa_ca), out, work)
        put_in_place(signed, out.path, work)
    print(f'{out.shown}: {out.path.stat().st_size} bytes, signed with {signer.shown}, '
          f'{f"stamped by {escape(server)}" if server else "not timestamped"}, with {NOTICES_NAME} beside it')


def checked_copy(signer: Signer, ca: str | None, urls: list[str], tsa_ca: Given | None, out: Given,
                 work: Path) -> tuple[Path, str | None]:
    """dist/ZiBLauncher.exe signed by SIGNER with its chain alone, and
    stamped by the first of URLS that answers (that server, or None), once
    it passes the checker's rules as OUT."""
    check_code_signing(signer)
    chain = signer_chain(signer.leaf, signer.certificates, work)
    root = root_of(chain, ca, signer, work)
    signed, server = sign(signer, chain, work), None
    if urls:
        signed, server = stamp(signed, urls, work)
    copy = Given(signed, out.shown)
    try:
        check_signed_copy(copy, root, tsa_ca, work)
        check_without_signature(copy, work)
    except Refused as refusal:
        raise Refused(f'the signed copy does not pass the check: {refusal}') from None
    return signed, server


def put_in_place(signed: Path, out: Path, work: Path) -> None:
    """Renames SIGNED over OUT, then dist's notices over those beside it
    (where OUT is not in dist/ itself): each whole, or as it was."""
    os.replace(signed, out)
    notices = out.parent / NOTICES_NAME
    if not (notices.exists() and notices.samefile(DIST_NOTICES)):
        shutil.copyfile(DIST_NOTICES, work / NOTICES_NAME)
        os.replace(work / NOTICES_NAME, notices)


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(prog='scripts/sign-release', usage=USAGE, description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--ca', metavar='ROOT.pem', help='the root to check the signed copy against')
    parser.add_argument('--pkcs11-module', metavar='MODULE.so', help="the token's PKCS#11 module")
    parser.add_argument('--key', metavar='PKCS11_URI', help="the key's URI on the token")
    parser.add_argument('--certs', metavar='CHAIN.pem', help="the key's certificate, then its issuers")
    parser.add_argument('paths', nargs='*', metavar='CERT.pfx OUT', help='the pfx (without a token), the output')
    arguments = parser.parse_args(argv)
    token = [arguments.pkcs11_module, arguments.key, arguments.certs]
    if any(token) and not all(token):
        parser.error('--pkcs11-module, --key and --certs go together')
    first = 0 if all(token) else 1
    if not first <= len(arguments.paths) <= first + 1:
        parser.error('give CERT.pfx [OUT], or with a token [OUT]')
    out = given(arguments.paths[first] if len(arguments.paths) > first else str(DEFAULT_OUT))
    return verdict(lambda: release(arguments, out))


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
