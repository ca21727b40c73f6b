"""The engine's Datasets on a Dask cluster of worker processes (loopback only, bounded in
time): they pickle, reopen their files in the workers and equal engine "netcdf4"."""

import os
import pickle

import numpy
import pytest
import xarray

import kavro
from grid_values import VARIABLES, expected

SECONDS = 120


def test_dataset_pickles_without_an_open_file(files):
    with xarray.open_dataset(files / "grid.nc", engine="kavro", chunks={}) as ds:
        again = pickle.loads(pickle.dumps(ds))
    # The original is closed: the copy reopens the file by its path.
    numpy.testing.assert_array_equal(again["O3"].values, numpy.stack(
        [expected("O3", k) for k in (1, 2, 3)]))
    again.close()


def test_chunks_compute_on_worker_processes(files, client):
    names = {"PYC_A": files / "grid.nc", "PYC_B": files / "day2.nc"}
    with xarray.open_dataset(files / "grid.nc", engine="kavro", chunks={"time": 1}) as ds, \
            xarray.open_dataset(files / "grid.nc", engine="netcdf4") as ref, \
            xarray.open_dataset("LIST:PYC_A,PYC_B", engine="kavro", names=names) as lazy:
        # xarray's chunks= asks a path for its time of change: a LIST: value is chunked after.
        listed = lazy.chunk({"time": 2})
        for name, _ in VARIABLES:
            got = client.compute(ds[name].data).result(timeout=SECONDS)
            numpy.testing.assert_array_equal(got, ref[name].values)
            assert got.dtype == ref[name].dtype
        # A file list reopens in the workers with the logical names it was given.
        total = client.compute(listed["TEMP"].sum("time").data).result(timeout=SECONDS)
        numpy.testing.assert_allclose(total, sum(expected("TEMP", k) for k in range(1, 6)))
    # The workers do the reading: a lazy variable sent to one (pickled here, so that nothing
    # on the way reads it) opens and reads its file there; whether the worker keeps the file
    # open afterwards is its file cache's business.
    with xarray.open_dataset(files / "grid.nc", engine="kavro") as plain:
        lazy_o3 = plain["O3"].variable
        pid, values = client.submit(lambda b: (os.getpid(), pickle.loads(b).values),
                                    pickle.dumps(lazy_o3)).result(timeout=SECONDS)
        assert pid != os.getpid()
        assert not lazy_o3._in_memory
        numpy.testing.assert_array_equal(values, numpy.stack(
            [expected("O3", k) for k in (1, 2, 3)]))


def test_open_mfdataset_in_parallel(files, client):
    with xarray.open_mfdataset([files / "grid.nc", files / "day2.nc"], engine="kavro",
                               parallel=True, combine="nested", concat_dim="time") as ds:
        assert ds.sizes["time"] == 5
        values = client.compute(ds["O3"].data).result(timeout=SECONDS)
    numpy.testing.assert_array_equal(values, numpy.stack(
        [expected("O3", k) for k in range(1, 6)]))


def test_errors_come_back_whole(files, client):
    """A worker's failure reaches the caller as the package's error, fields and all."""
    err = client.submit(lambda p: kavro.open(p), str(files / "missing.nc")).exception(
        timeout=SECONDS)
    assert isinstance(err, kavro.OpenError)
    assert (err.routine, err.path, err.cause) == ("OPEN3", str(files / "missing.nc"),
                                                  "no such file")
