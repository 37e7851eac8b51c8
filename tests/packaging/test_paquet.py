#!/usr/bin/env python3
"""The Debian package as an operator installs it: built by cpack from the install rules,
extracted into a scratch root, its files where the units and the installation page say, and
its staff tool working from there. Usage: test_paquet.py BUILD_DIR SOURCE_DIR"""
import os
import re
import shlex
import subprocess
import sys
import tempfile
from pathlib import Path

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def documented_paths(page):
    """The absolute paths of the installation page's "Files installed" table."""
    text = page.read_text(encoding='utf-8')
    table = text.split('### Files installed', 1)[1].split('\n## ', 1)[0]
    return re.findall(r'^\| `(/[^`]+)` \|', table, re.M)


def unit_programs(unit):
    """The programs each Exec line of a unit starts, with the folder given to the kiosk."""
    programs, folders = [], []
    for line in unit.read_text().splitlines():
        key, _, value = line.partition('=')
        if not key.strip().startswith('Exec'):
            continue
        words = shlex.split(value.lstrip('-@:+!'))
        folder_args = {words[i + 1] for i, w in enumerate(words[:-1]) if w == '--dossier'}
        programs += [w for w in words if w.startswith('/') and w not in folder_args]
        folders += sorted(folder_args)
    return programs, folders


def main():
    build, source = Path(sys.argv[1]), Path(sys.argv[2])
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        made = run(['cpack', '-G', 'DEB', '-B', str(tmp / 'paquet')], cwd=build)
        if not check(made.returncode == 0, 'cpack failed:\n' + made.stdout + made.stderr):
            return report()
        debs = list((tmp / 'paquet').glob('movendi_*.deb'))
        if not check(len(debs) == 1, f'one package expected, found {debs}'):
            return report()
        deb = debs[0]
        fields = run(['dpkg-deb', '-f', str(deb), 'Package', 'Depends']).stdout
        check('Package: movendi' in fields, 'package name: ' + fields)
        check('libqt6' in fields and 'libqt6sql6-sqlite' in fields,
              'the Qt libraries and the SQLite plugin must be dependencies: ' + fields)
        scripts = run(['dpkg-deb', '-I', str(deb)]).stdout
        check('postinst' in scripts, 'no postinst to create the user')

        root = tmp / 'racine'
        check(run(['dpkg-deb', '-x', str(deb), str(root)]).returncode == 0, 'dpkg-deb -x failed')

        for path in documented_paths(source / 'docs' / 'installation.md'):
            check((root / path.lstrip('/')).exists(), f'{path} documented but not installed')

        units = sorted((root / 'usr/lib/systemd/system').glob('*.service'))
        check(len(units) >= 2, f'the two kiosk units expected, found {units}')
        sysusers = root / 'usr/lib/sysusers.d/movendi.conf'
        tmpfiles = root / 'usr/lib/tmpfiles.d/movendi.conf'
        users = sysusers.read_text() if sysusers.exists() else ''
        folders_made = tmpfiles.read_text() if tmpfiles.exists() else ''
        for unit in units:
            text = unit.read_text()
            programs, folders = unit_programs(unit)
            for program in programs:
                if program.startswith(('/usr/bin/movendi', '/usr/lib/movendi')):
                    check((root / program.lstrip('/')).is_file(),
                          f'{unit.name} starts {program}, which the package does not hold')
            check(any(p.endswith('/movendi') for p in programs), f'{unit.name} starts no kiosk')
            for folder in folders:
                check(folder in folders_made, f'{unit.name} runs in {folder}, not made by tmpfiles')
            user = re.search(r'^User=(\S+)', text, re.M)
            if check(user is not None, f'{unit.name} names no user'):
                check(re.search(rf'^u\s+{re.escape(user.group(1))}\s', users, re.M) is not None,
                      f'{unit.name} runs as {user.group(1)}, not created by sysusers')

        # The staff tool from the extracted tree finds the simulated library beside it.
        env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
        folder = tmp / 'kiosque'
        init = run([str(root / 'usr/bin/movendi-admin'), 'init', str(folder)], env=env)
        check(init.returncode == 0, 'movendi-admin init from the package failed:\n' +
              init.stdout + init.stderr)
        check((folder / 'libgrafcet.so').exists(),
              'init from the package did not find the simulated library in /usr/lib/movendi')
        check_deplacement(root, folder, tmp)
        check_flotte(tmp)
    return report()


def check_deplacement(root, folder, tmp):
    """An upgrade moves a library copied into a kiosk's folder out of the kiosk's reach and
    leaves a link behind; a different library already there stops it, changing nothing."""
    script = root / 'usr/lib/movendi/movendi-deplacer-automate'
    if not check(script.is_file(), 'no movendi-deplacer-automate in the package'):
        return
    copie = folder / 'libgrafcet.so'
    octets = copie.read_bytes()
    cible = tmp / 'lib-root'
    for tour in (1, 2):
        fait = run([str(script), str(folder), str(cible)])
        check(fait.returncode == 0, f'move, run {tour}: ' + fait.stdout + fait.stderr)
    check(copie.is_symlink() and os.readlink(copie) == str(cible / 'libgrafcet.so'),
          'the folder does not link to the moved library')
    check((cible / 'libgrafcet.so').read_bytes() == octets, 'the moved library differs')
    check(oct((cible / 'libgrafcet.so').stat().st_mode & 0o7777) == '0o644',
          'the moved library must be writable by its owner only')
    autre = tmp / 'autre-kiosque'
    autre.mkdir()
    (autre / 'libgrafcet.so').write_bytes(b'autre bibliotheque')
    refus = run([str(script), str(autre), str(cible)])
    check(refus.returncode == 1 and 'diffère' in refus.stderr,
          'a different library in the target must stop the move: ' + refus.stderr)
    check(not (autre / 'libgrafcet.so').is_symlink() and
          (cible / 'libgrafcet.so').read_bytes() == octets, 'a refused move changed something')


def check_flotte(tmp):
    """The back-office's own package: its service, account, configuration template and unit."""
    debs = list((tmp / 'paquet').glob('movendi-flotte_*.deb'))
    if not check(len(debs) == 1, f'one movendi-flotte package expected, found {debs}'):
        return
    deb = debs[0]
    fields = run(['dpkg-deb', '-f', str(deb), 'Package', 'Depends']).stdout
    check('Package: movendi-flotte' in fields and 'libqt6sql6-psql' in fields,
          'movendi-flotte must depend on the PostgreSQL driver: ' + fields)
    root = tmp / 'racine-flotte'
    check(run(['dpkg-deb', '-x', str(deb), str(root)]).returncode == 0, 'dpkg-deb -x failed')
    control = tmp / 'controle-flotte'
    check(run(['dpkg-deb', '-e', str(deb), str(control)]).returncode == 0, 'dpkg-deb -e failed')
    postinst = (control / 'postinst').read_text() if (control / 'postinst').exists() else ''
    template = root / 'usr/share/movendi-flotte/movendi-flotte.conf'
    check(template.is_file(), 'no configuration template')
    unit = root / 'usr/lib/systemd/system/movendi-flotte.service'
    if not check(unit.is_file(), 'no movendi-flotte.service'):
        return
    text = unit.read_text()
    check(re.search(r'^Type=notify$', text, re.M) and re.search(r'^WatchdogSec=\d+', text, re.M),
          'movendi-flotte.service: Type=notify with a watchdog expected')
    programs, _ = unit_programs(unit)
    check(programs[:1] == ['/usr/bin/movendi-flotte'] and (root / 'usr/bin/movendi-flotte').is_file(),
          f'the unit starts {programs}, not the packaged service')
    config = re.search(r'--config (\S+)', text)
    if check(config is not None, 'the unit names no configuration'):
        check(config.group(1) in postinst and str(template).replace(str(root), '') in postinst,
              'postinst does not make the configuration the unit reads from the template')
        check('0640' in postinst, 'the configuration must be readable by the service only')
    users = (root / 'usr/lib/sysusers.d/movendi-flotte.conf')
    user = re.search(r'^User=(\S+)', text, re.M)
    check(user is not None and users.exists() and
          re.search(rf'^u\s+{re.escape(user.group(1))}\s', users.read_text(), re.M) is not None,
          'movendi-flotte.service runs as a user its package does not create')
    # The template as installed is read without complaint: only the database is missing.
    probe = tmp / 'flotte.conf'
    probe.write_text(re.sub(r'^Connexion=.*$', 'Connexion=host=127.0.0.1 port=1 dbname=x',
                            template.read_text(), flags=re.M))
    init = run([str(root / 'usr/bin/movendi-flotte'), 'init', '--config', str(probe)], timeout=60)
    check(init.returncode == 1 and 'configuration' not in init.stderr and
          'attendu' not in init.stderr and 'manque' not in init.stderr,
          'the template does not read as a configuration: ' + init.stdout + init.stderr)
    # systemd reads the unit without a warning about it (its program the packaged one).
    copy = tmp / 'movendi-flotte.service'
    copy.write_text(text.replace('/usr/bin/movendi-flotte', str(root / 'usr/bin/movendi-flotte')))
    verify = run(['systemd-analyze', 'verify', '--man=no', str(copy)])
    check(not [line for line in (verify.stdout + verify.stderr).splitlines()
               if 'movendi-flotte' in line],
          'systemd-analyze verify: ' + verify.stdout + verify.stderr)


def report():
    for failure in failures:
        print('FAIL:', failure)
    if not failures:
        print('packages: built, extracted, files where the units and the documentation say')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
