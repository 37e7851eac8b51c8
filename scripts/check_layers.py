#!/usr/bin/env python3
"""Checks the kiosk's library graph as CMake writes it (cmake --graphviz): every link points
to a lower layer, and no logic library reaches Qt Widgets or the GUI adapters, even through
another library. Usage: check_layers.py BUILD_DIR"""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

# Lowest first; a library may link only libraries of a lower rank.
RANKS = {
    'movendi_platform': 0, 'movendi_money': 0, 'movendi_mail': 1, 'movendi_machine': 0,
    'movendi_payment_rules': 0,
    'movendi_platform_gui': 1, 'movendi_platform_media': 1, 'movendi_payment': 1,
    'movendi_state': 2, 'movendi_utilities': 3, 'movendi_journal': 4, 'movendi_config': 5,
    'movendi_store': 6, 'movendi_reporting': 7,
    'movendi_sale': 8, 'movendi_stock': 8, 'movendi_media': 8, 'movendi_flotte': 8,
    'movendi_screens': 9, 'movendi_i18n': 10,
    'movendi_sale_screens': 11, 'movendi_stock_screens': 11, 'movendi_media_screens': 11,
    'movendi_startup': 12, 'movendi_front': 13,
}
# Everything but the screens, their shared pieces, start-up and the executables.
LOGIC = {name for name, rank in RANKS.items() if rank <= 8} - {
    'movendi_platform_gui', 'movendi_platform_media'}
BACKOFFICE_MAY_LINK = {'movendi_platform', 'movendi_money', 'movendi_mail'}
FORBIDDEN_FOR_LOGIC = {'Qt6::Widgets', 'Qt6::MultimediaWidgets', 'movendi_platform_gui',
                       'movendi_platform_media'}


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else 'build')
    with tempfile.TemporaryDirectory() as tmp:
        dot = Path(tmp) / 'graph.dot'
        subprocess.run(['cmake', f'--graphviz={dot}', '.'], cwd=build, check=True,
                       stdout=subprocess.DEVNULL)
        text = dot.read_text()
    edges = {}
    for source, target in re.findall(r'//\s*(\S+)\s*->\s*(\S+)', text):
        if source != target:
            edges.setdefault(source, set()).add(target)

    faults = []
    for source, targets in sorted(edges.items()):
        if source not in RANKS:
            continue
        for target in sorted(targets):
            if target in RANKS and RANKS[target] >= RANKS[source]:
                faults.append(f'{source} (layer {RANKS[source]}) links {target} '
                              f'(layer {RANKS[target]})')
    for library in sorted(LOGIC):
        seen, stack = set(), [library]
        while stack:
            for target in edges.get(stack.pop(), ()):
                if target not in seen:
                    seen.add(target)
                    stack.append(target)
        for bad in sorted(seen & FORBIDDEN_FOR_LOGIC):
            faults.append(f'logic library {library} reaches {bad}')
    # The back-office stands beside the kiosk: of the kiosk's libraries it uses only these.
    for source, targets in sorted(edges.items()):
        if not source.startswith('movendi_bo_'):
            continue
        for target in sorted(targets):
            if (target.startswith('movendi_') and not target.startswith('movendi_bo_')
                    and target not in BACKOFFICE_MAY_LINK):
                faults.append(f'back-office library {source} links the kiosk\'s {target}')
    missing = sorted(set(RANKS) - set(edges) - {n for t in edges.values() for n in t})
    for name in missing:
        faults.append(f'{name} is not in the graph (renamed? update {Path(__file__).name})')
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print(f'layers: {len(RANKS)} libraries, every link points down, '
          f'{len(LOGIC)} logic libraries without widgets')
    return 0


if __name__ == '__main__':
    sys.exit(main())
