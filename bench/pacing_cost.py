#!/usr/bin/env python3
"""What the pacing costs on top of the simulation itself.

Paced at the real clock rate, the calculator spends processor time on the
clock periods and on waking up to run them. This measures, for each
build directory given, the processor time a paced process uses per second
of wall time and the processor time the same periods cost unpaced, and
prints the multiple:

  run-f0         tallivo-run --paced (offscreen), no flowchart
  run-flowchart  tallivo-run --paced --flowchart 512 (offscreen)
  tallivo-f0     tallivo -f0 under Xvfb
  tallivo        tallivo with the flowchart under Xvfb
  run-ticks      tallivo-run --paced --rate 0: the ticks alone, no period runs
  tallivo-ticks  tallivo -c0 -f0 under Xvfb: the same for the program

The two cases of ticks alone show what the wake-ups at the 50 ms ticks
cost with no clock period to run: a floor under the paced cases, the same
at any clock rate.

A paced process is sampled between two readings of its threads' processor
time (/proc/PID/task/*/schedstat, in nanoseconds), after its start-up, and
ended. The unpaced cost is tallivo-run running N periods as fast as it can,
less the same program running none (the start-up and the end), on the same
display, and scaled to the rate. The directories are measured alternately,
case by case, and the medians of the runs are printed.

Usage: bench/pacing_cost.py [--runs 5] [--seconds 20] [--cases LIST] DIR [DIR ...]
Each DIR holds tallivo, tallivo-run, 4001.code, Flowchart.bmp and types.bmp
(build/dev/bin after a build). Xvfb is needed for the tallivo cases.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

RATE = 740000  # periods a second at -c740
CASES = {
    # name: (program, arguments, display, flowchart hit value)
    'run-f0': ('tallivo-run', ['--paced', '--periods', '100000000000'], 'offscreen', 0),
    'run-flowchart': ('tallivo-run', ['--paced', '--flowchart', '512', '--periods',
                                      '100000000000'], 'offscreen', 512),
    'tallivo-f0': ('tallivo', ['-f0'], 'xvfb', 0),
    'tallivo': ('tallivo', [], 'xvfb', 512),
    'run-ticks': ('tallivo-run', ['--paced', '--rate', '0', '--periods', '1'], 'offscreen', None),
    'tallivo-ticks': ('tallivo', ['-c0', '-f0'], 'xvfb', None),
}


def thread_cpu_seconds(pid):
    """Processor time of every live thread of the process, in seconds."""
    total = 0
    for tid in os.listdir(f'/proc/{pid}/task'):
        try:
            with open(f'/proc/{pid}/task/{tid}/schedstat') as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return total / 1e9


def environment(display, xdisplay):
    env = dict(os.environ)
    if display == 'offscreen':
        env['QT_QPA_PLATFORM'] = 'offscreen'
        env.pop('DISPLAY', None)
    else:
        env['QT_QPA_PLATFORM'] = 'xcb'
        env['DISPLAY'] = xdisplay
    return env


def paced_share(directory, case, seconds, warmup, xdisplay, workdir):
    """Processor seconds per wall second of a paced run after its start-up."""
    program, args, display, _ = CASES[case]
    process = subprocess.Popen([os.path.join(directory, program)] + args, cwd=workdir,
                               env=environment(display, xdisplay),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(warmup)
        if process.poll() is not None:
            raise RuntimeError(f'{program} ended early (status {process.returncode})')
        cpu0, wall0 = thread_cpu_seconds(process.pid), time.monotonic()
        time.sleep(seconds)
        cpu1, wall1 = thread_cpu_seconds(process.pid), time.monotonic()
    finally:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return (cpu1 - cpu0) / (wall1 - wall0)


def run_cpu_seconds(command, env, workdir):
    process = subprocess.Popen(command, cwd=workdir, env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise RuntimeError(f'{" ".join(command)} failed ({process.returncode})')
    return usage.ru_utime + usage.ru_stime


def unpaced_share(directory, case, periods, xdisplay, workdir):
    """Processor seconds the periods of one wall second cost unpaced."""
    _, _, display, hits = CASES[case]
    env = environment(display, xdisplay)
    command = [os.path.join(directory, 'tallivo-run'), '--flowchart', str(hits)]
    full = run_cpu_seconds(command + ['--periods', str(periods)], env, workdir)
    empty = run_cpu_seconds(command + ['--periods', '0'], env, workdir)
    return (full - empty) / periods * RATE


def start_xvfb():
    for number in range(90, 130):
        if os.path.exists(f'/tmp/.X11-unix/X{number}') or os.path.exists(f'/tmp/.X{number}-lock'):
            continue
        server = subprocess.Popen(['Xvfb', f':{number}', '-screen', '0', '1280x800x24',
                                   '-nolisten', 'tcp'], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        for _ in range(50):
            if os.path.exists(f'/tmp/.X11-unix/X{number}'):
                return server, f':{number}'
            if server.poll() is not None:
                break
            time.sleep(0.1)
        server.kill()
        server.wait()
    raise RuntimeError('no Xvfb display could be started')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('dirs', nargs='+', metavar='DIR')
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--seconds', type=float, default=20.0,
                        help='wall seconds each paced run is measured over')
    parser.add_argument('--warmup', type=float, default=4.0,
                        help='wall seconds a paced run is left to start first')
    parser.add_argument('--periods', type=int, default=150_000_000,
                        help='periods of the unpaced runs')
    parser.add_argument('--cases', default=','.join(CASES))
    args = parser.parse_args()
    cases = [c for c in args.cases.split(',') if c]
    for case in cases:
        if case not in CASES:
            parser.error(f'no case {case}; the cases are {", ".join(CASES)}')
    dirs = [os.path.abspath(d) for d in args.dirs]

    server, xdisplay = (None, None)
    if any(CASES[c][2] == 'xvfb' for c in cases):
        if shutil.which('Xvfb') is None:
            sys.exit('pacing_cost: the tallivo cases need Xvfb')
        server, xdisplay = start_xvfb()
    workdir = tempfile.mkdtemp(prefix='pacing_cost_')
    results = {(d, c): {'paced': [], 'unpaced': [], 'ratio': []} for d in dirs for c in cases}
    try:
        for run in range(args.runs):
            for case in cases:
                for d in dirs:
                    paced = paced_share(d, case, args.seconds, args.warmup, xdisplay, workdir)
                    r = results[(d, case)]
                    r['paced'].append(paced)
                    line = f'run {run + 1} {case:14} {d}: paced {paced * 100:.3f} % of a core'
                    if CASES[case][3] is not None:
                        unpaced = unpaced_share(d, case, args.periods, xdisplay, workdir)
                        r['unpaced'].append(unpaced)
                        r['ratio'].append(paced / unpaced)
                        line += f', unpaced {unpaced * 100:.3f} %, x{paced / unpaced:.2f}'
                    print(line, flush=True)
    finally:
        if server is not None:
            server.terminate()
            server.wait()
        shutil.rmtree(workdir, ignore_errors=True)

    print(f'\nmedians of {args.runs} runs, paced at {RATE} periods/s; '
          'processor time as % of one core')
    print(f'{"case":14} {"paced":>8} {"unpaced":>8} {"multiple":>8} {"lowest-highest":>16}'
          '  build')
    for case in cases:
        for d in dirs:
            r = results[(d, case)]
            line = f'{case:14} {statistics.median(r["paced"]) * 100:7.3f}% '
            if r['ratio']:
                spread = f'({min(r["ratio"]):.2f}-{max(r["ratio"]):.2f})'
                line += (f'{statistics.median(r["unpaced"]) * 100:7.3f}% '
                         f'{statistics.median(r["ratio"]):8.2f} {spread:>16}  {d}')
            else:
                line += f'{"":8} {"":8} {"":16}  {d}'
            print(line)


if __name__ == '__main__':
    main()
