"""Reading a whole variable (every step, every layer) through the Python module against the
C++ kavro::File::read of the same data: CPU time of the reads alone, best of RUNS (default 5),
the two taking turns.

    PYTHONPATH=build/python-packages /usr/bin/python3 bench/python_read_bench.py \\
        BENCH_FILE_READ PATH VAR [ROUNDS]

BENCH_FILE_READ is the C++ reference program (bench_file_read); PATH a file, e.g.
make_bench_data's base.nc; each run reads every step of VAR ROUNDS times (default 20).
"""

import os
import subprocess
import sys
import time

import kavro


def module_cpu(path, var, rounds):
    with kavro.open(path) as f:
        steps = len(f.step_pairs)
        total = 0.0
        start = time.process_time()
        for _ in range(rounds):
            for k in range(steps):
                values = f.read(var, k)
                total += float(values.flat[values.size // 2])
        return time.process_time() - start, total


def cpp_cpu(program, path, var, rounds):
    out = subprocess.run([program, path, var, str(rounds)], capture_output=True, text=True,
                         check=True, env=dict(os.environ, LOGFILE="/dev/null")).stdout
    line = [x for x in out.splitlines() if x.startswith("cpu ")][-1].split()
    return float(line[1]), float(line[5])


def main(program, path, var, rounds=20):
    os.environ.setdefault("LOGFILE", "/dev/null")
    best_py = best_cpp = float("inf")
    for _ in range(int(os.environ.get("RUNS", "5"))):
        cpu, py_sum = module_cpu(path, var, rounds)
        best_py = min(best_py, cpu)
        cpu, cpp_sum = cpp_cpu(program, path, var, rounds)
        best_cpp = min(best_cpp, cpu)
    assert abs(py_sum - cpp_sum) <= 1e-6 * abs(cpp_sum), (py_sum, cpp_sum)
    print(f"{var} of {os.path.basename(path)}, {rounds} rounds of every step")
    print(f"C++ File::read   cpu {best_cpp:.4f} s")
    print(f"Python module    cpu {best_py:.4f} s")
    print(f"ratio {best_py / best_cpp:.3f}")


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], *(int(x) for x in sys.argv[4:]))
