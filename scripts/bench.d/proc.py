#!/usr/bin/env python3
"""What a running process costs, read from /proc over a window: processor time per second of
wall time (percent of one core), context switches per second summed over its threads (each is
a wake-up or a preemption), and resident memory at the end (MB), with its thread count.
Usage: proc.py PID SECONDS"""
import os
import sys
import time

TICK = os.sysconf('SC_CLK_TCK')


def cpu(pid):
    with open(f'/proc/{pid}/stat') as f:
        champs = f.read().rsplit(')', 1)[1].split()
    return (int(champs[11]) + int(champs[12])) / TICK  # utime, stime


def commutations(pid):
    total = 0
    for tache in os.listdir(f'/proc/{pid}/task'):
        try:
            with open(f'/proc/{pid}/task/{tache}/status') as f:
                for ligne in f:
                    if ligne.startswith(('voluntary_ctxt_switches', 'nonvoluntary_ctxt_switches')):
                        total += int(ligne.split()[1])
        except FileNotFoundError:
            pass
    return total


def statut(pid, cle):
    with open(f'/proc/{pid}/status') as f:
        for ligne in f:
            if ligne.startswith(cle + ':'):
                return int(ligne.split()[1])
    return 0


def main():
    pid, duree = int(sys.argv[1]), float(sys.argv[2])
    c0, s0, t0 = cpu(pid), commutations(pid), time.monotonic()
    time.sleep(duree)
    c1, s1, t1 = cpu(pid), commutations(pid), time.monotonic()
    mur = t1 - t0
    print(f'{100 * (c1 - c0) / mur:.3f} {(s1 - s0) / mur:.2f} {statut(pid, "VmRSS") / 1024:.1f} '
          f'{statut(pid, "Threads")}')


if __name__ == '__main__':
    main()
