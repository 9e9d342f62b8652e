#!/usr/bin/env python3
"""Measures whether the tests catch faults: puts one small fault at a time into the library's
sources (a comparison turned, && for ||, +1 for -1, true for false, a negation dropped), rebuilds
the shared library, runs the tests the filter names, and says whether they failed ("killed") or
passed ("SURVIVED"). The faults are a random sample, the same for the same seed.

Run it in a checkout of its own that has been built once (a worktree), never in the one you edit:

    git worktree add /tmp/mutants HEAD
    cmake -S /tmp/mutants -B /tmp/mutants/build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    ninja -C /tmp/mutants/build
    scripts/mutants.py --tree /tmp/mutants --files audit/log_append.cpp,audit/log_navigation.cpp \\
        --count 40 --filter '*Log*:*Backlog*'

A survivor is a fault no test saw, or a change that makes no difference (an equivalent mutant):
read it before writing a test. Mutants the compiler refuses (-Werror) are reported as such.
Each source is put back as it was after its mutant, also when the run is interrupted."""
import argparse
import pathlib
import random
import re
import subprocess

OPERATORS = [(r'==', '!='), (r'!=', '=='), (r'(?<![<>-])<=', '<'), (r'(?<![<>-])>=', '>'),
             (r'(?<=\s)<(?=\s)', '<='), (r'(?<=\s)>(?=\s)', '>='), (r'&&', '||'),
             (r'\|\|', '&&'), (r'\+ 1\b', '- 1'), (r'- 1\b', '+ 1'),
             (r'\breturn true\b', 'return false'), (r'\breturn false\b', 'return true'),
             (r'\(!(?=[A-Za-z_(])', '(')]


def places(tree, files):
    found = []
    for name in files:
        for number, line in enumerate((tree / name).read_text().split('\n')):
            code = line.split('//')[0]
            if code.strip().startswith(('#', '*')) or 'static_assert' in code:
                continue
            for pattern, replacement in OPERATORS:
                for match in re.finditer(pattern, code):
                    found.append((name, number, match.start(), match.end(), replacement))
    return found


def succeeds(command, timeout):
    try:
        return subprocess.run(command, shell=True, capture_output=True,
                              timeout=timeout).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--tree', required=True, type=pathlib.Path)
    parser.add_argument('--build', type=pathlib.Path, help='default: TREE/build')
    parser.add_argument('--files', required=True, help='sources, comma-separated, from TREE')
    parser.add_argument('--count', type=int, default=40)
    parser.add_argument('--filter', default='*', help="GoogleTest filter for the test programs")
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--timeout', type=int, default=900, help='seconds a test run may take')
    args = parser.parse_args()
    build = args.build or args.tree / 'build'
    tests = ' && '.join(f"./{program} --gtest_filter='{args.filter}'"
                        for program in ('lyrutil_fast_tests', 'lyrutil_faults_tests')
                        if (build / program).exists())
    random.seed(args.seed)
    candidates = places(args.tree, args.files.split(','))
    tally = {}
    for name, number, start, end, replacement in random.sample(
            candidates, min(args.count, len(candidates))):
        source = args.tree / name
        original = source.read_text()
        lines = original.split('\n')
        before = lines[number]
        lines[number] = before[:start] + replacement + before[end:]
        source.write_text('\n'.join(lines))
        try:
            if not succeeds(f'ninja -C {build} lyrutil', 600):
                verdict = 'does not compile'
            else:
                verdict = ('SURVIVED' if succeeds(f'cd {build} && {tests}', args.timeout)
                           else 'killed')
        finally:
            source.write_text(original)
        tally[verdict] = tally.get(verdict, 0) + 1
        print(f'{verdict:16} {name}:{number + 1}: {before.strip()}  =>  {lines[number].strip()}',
              flush=True)
    subprocess.run(f'ninja -C {build} lyrutil', shell=True, capture_output=True)
    print(', '.join(f'{count} {verdict}' for verdict, count in sorted(tally.items())))


if __name__ == '__main__':
    main()
