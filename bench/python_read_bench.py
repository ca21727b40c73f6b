"""Reading a whole variable (every step, every layer) through the Python module against the
C++ kavro::File::read of the same data: CPU time of the reads alone, best of RUNS (default 5),
the two taking turns.

    PYTHONPATH=build/python-packages /usr/bin/python3 bench/python_read_bench.py \\
        BENCH_FILE_READ PATH VAR [ROUNDS]

BENCH_FILE_READ is the C++ reference program (bench_file_read); PATH a file, e.g.
make_bench_data's base.nc; each run reads every step of VAR ROUNDS times (default 20).

    PYTHONPATH=build/python-packages /usr/bin/python3 bench/python_read_bench.py \\
        engines PATH [ROUNDS]

Five whole variables (V1..V5) of PATH read through xarray's engines "kavro", "netcdf4" and
"scipy" (which maps the file), each opening the file afresh, ROUNDS times (default 3), the
engines taking turns so that a busy machine weighs on each alike: CPU (user + system) and
wall time of each engine's best run, and the ratios to "netcdf4".
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


ENGINE_VARIABLES = ("V1", "V2", "V3", "V4", "V5")


def engine_times(engine, path, rounds):
    import xarray  # only this mode needs it
    cpu0, wall0 = time.process_time(), time.perf_counter()
    total = 0.0
    for _ in range(rounds):
        with xarray.open_dataset(path, engine=engine) as ds:
            for var in ENGINE_VARIABLES:
                values = ds[var].values
                total += float(values.flat[values.size // 2])
    return time.process_time() - cpu0, time.perf_counter() - wall0, total


def engines(path, rounds=3):
    import xarray
    names = [e for e in ("kavro", "netcdf4", "scipy") if e in xarray.backends.list_engines()]
    best = {e: (float("inf"), float("inf")) for e in names}
    sums = {}
    for _ in range(int(os.environ.get("RUNS", "5"))):
        for e in names:
            cpu, wall, sums[e] = engine_times(e, path, rounds)
            best[e] = (min(best[e][0], cpu), min(best[e][1], wall))
    assert len({round(v, 3) for v in sums.values()}) == 1, sums
    print(f"{', '.join(ENGINE_VARIABLES)} of {os.path.basename(path)}, {rounds} rounds")
    for e in names:
        cpu, wall = best[e]
        print(f"{e:8s} cpu {cpu:.4f} s  wall {wall:.4f} s  cpu ratio to netcdf4 "
              f"{cpu / best['netcdf4'][0]:.3f}")


def open_times(engine, path, rounds, var):
    import xarray
    cpu0, wall0 = time.process_time(), time.perf_counter()
    total = 0.0
    for _ in range(rounds):
        with xarray.open_dataset(path, engine=engine) as ds:
            if var is not None:
                values = ds[var].values
                total += float(values.flat[values.size // 2])
    return (time.process_time() - cpu0) / rounds, (time.perf_counter() - wall0) / rounds, total


def opens(path, rounds=50):
    names = ("kavro", "netcdf4")
    cases = (("open", None), ("open + V1", "V1"))
    best = {(e, c): (float("inf"), float("inf")) for e in names for c, _ in cases}
    for _ in range(int(os.environ.get("RUNS", "5"))):
        for case, var in cases:
            sums = set()
            for e in names:
                cpu, wall, total = open_times(e, path, rounds, var)
                sums.add(round(total, 3))
                best[e, case] = (min(best[e, case][0], cpu), min(best[e, case][1], wall))
            assert len(sums) == 1, sums
    print(f"{os.path.basename(path)}, {rounds} opens per run, best of runs, per open")
    for case, _ in cases:
        for e in names:
            cpu, wall = best[e, case]
            print(f"{case:10s} {e:8s} cpu {cpu * 1000:8.3f} ms  wall {wall * 1000:8.3f} ms  "
                  f"cpu ratio to netcdf4 {cpu / best['netcdf4', case][0]:.3f}")


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
    if len(sys.argv) in (3, 4) and sys.argv[1] == "open":
        os.environ.setdefault("LOGFILE", "/dev/null")
        opens(sys.argv[2], *(int(x) for x in sys.argv[3:]))
    elif len(sys.argv) in (3, 4) and sys.argv[1] == "engines":
        engines(sys.argv[2], *(int(x) for x in sys.argv[3:]))
    elif len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    else:
        main(sys.argv[1], sys.argv[2], sys.argv[3], *(int(x) for x in sys.argv[4:]))
