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
    return report()


def report():
    for failure in failures:
        print('FAIL:', failure)
    if not failures:
        print('package: built, extracted, files where the units and the documentation say')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
