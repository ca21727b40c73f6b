"""The values the fixture writer puts in grid.nc and day2.nc, recomputed (its formula:
var*1000 + rec*100 + lay*10 + row + col*0.1, in the variable's type)."""

import numpy

# The fixture's variables, in file order: name, numpy type.
VARIABLES = [("O3", numpy.float32), ("TEMP", numpy.float64), ("COUNT", numpy.int32)]
NLAYS, NROWS, NCOLS = 3, 4, 5


def expected(var_name, rec, layers=None):
    """grid.nc's values of var_name in record rec (1-based; 4 and 5 are day2.nc's records 1
    and 2) as (layer, row, column); layers: the 1-based layers, default all."""
    var = [n for n, _ in VARIABLES].index(var_name) + 1
    dtype = dict(VARIABLES)[var_name]
    lays = numpy.array(layers or range(1, NLAYS + 1))[:, None, None]
    rows = numpy.arange(1, NROWS + 1)[None, :, None]
    cols = numpy.arange(1, NCOLS + 1)[None, None, :]
    v = var * 1000 + rec * 100 + lays * 10 + rows + cols * 0.1
    if dtype is numpy.int32:
        # Rounded half away from zero.
        return (numpy.sign(v) * numpy.floor(numpy.abs(v) + 0.5)).astype(numpy.int32)
    return v.astype(dtype)
