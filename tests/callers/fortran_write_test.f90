! Every routine the module gained for writing, called as a Fortran model program calls them,
! with plain INTEGER and REAL arguments: WRITE3 from REAL, INTEGER and DOUBLE PRECISION arrays
! (FWOUT, a netCDF file created from the description variables, and FWMEM, memory-resident),
! the native binary routines on a file of their own (FWBIN) and the memory-resident buffer
! routines on a slot of their own. Each result is checked, then (in a statement of its own:
! Fortran may evaluate the operands of .and. in any order) what it delivered.
program fortran_write_test
  use kavro
  use, intrinsic :: iso_c_binding, only: c_null_char
  implicit none
  integer, parameter :: nc = 4, nr = 3, nl = 2, cells = nc * nr * nl
  integer, parameter :: bin_slot = 150, mem_slot = 160
  integer :: failures = 0
  integer :: logdev, i, flags(4)
  real :: r(nc, nr, nl), rback(nc, nr, nl), window(2, 2, 1), d1(cells)
  integer :: iv(cells), iback(cells)
  double precision :: dv(cells), dback(cells), dd(cells)
  character(len=300) :: binpath

  logdev = INIT3()
  call describe()

  ! ---- WRITE3, netCDF: each value type, read back with READ3 --------------------------------
  call check(OPEN3('FWOUT', FSCREA3, 'FW_TEST'), 'OPEN3 FSCREA3 FWOUT')
  r = reshape([(real(i) * 0.5, i = 1, cells)], shape(r))
  iv = [(i * 3, i = 1, cells)]
  dv = [(i * 0.25d0, i = 1, cells)]
  call check(WRITE3('FWOUT', 'R', 2024033, 10000, r), 'WRITE3 REAL')
  call check(WRITE3('FWOUT', 'I', 2024033, 10000, iv), 'WRITE3 INTEGER')
  call check(WRITE3('FWOUT', 'D', 2024033, 10000, dv), 'WRITE3 DOUBLE PRECISION')
  call check(.not. WRITE3('FWOUT', 'R', 2024033, 1500, r), 'WRITE3 off the time axis refused')
  call check(.not. WRITE3('FWOUT', 'D', 2024033, 0, r), 'WRITE3 from a short array refused')
  call check(READ3('FWOUT', 'R', ALLAYS3, 2024033, 10000, rback), 'READ3 REAL')
  call check(all(rback == r), 'REAL values back')
  call check(READ3('FWOUT', 'I', ALLAYS3, 2024033, 10000, iback), 'READ3 INTEGER')
  call check(all(iback == iv), 'INTEGER values back')
  call check(READ3('FWOUT', 'D', ALLAYS3, 2024033, 10000, dback), 'READ3 DOUBLE PRECISION')
  call check(all(dback == dv), 'DOUBLE PRECISION values back')
  call check(CLOSE3('FWOUT'), 'CLOSE3 FWOUT')

  ! ---- WRITE3, memory-resident --------------------------------------------------------------
  VTYPE3D(1:3) = [XQREAL, XQINT, XQREAL]
  call check(OPEN3('FWMEM', FSNEW3, 'FW_TEST'), 'OPEN3 FWMEM')
  call check(WRITE3('FWMEM', 'R', 2024033, 0, r), 'WRITE3 memory-resident')
  rback = 0
  call check(READ3('FWMEM', 'R', ALLAYS3, 2024033, 0, rback), 'READ3 memory-resident')
  call check(all(rback == r), 'memory-resident values back')
  call check(CLOSE3('FWMEM'), 'CLOSE3 FWMEM')
  VTYPE3D(1:3) = [XQREAL, XQINT, XQDBLE]

  ! ---- Native binary routines, on a slot of their own ---------------------------------------
  call get_environment_variable('FWBIN', binpath)
  binpath = binpath(5:)  ! without "BIN:"
  call check(INITBIN3('fortran test' // c_null_char, 2024100, 120000) /= 0, 'INITBIN3')
  call check(OPEN3('FWOUT', FSUNKN3, 'FW_TEST'), 'OPEN3 FSUNKN3 sets the record again')
  call check(CLOSE3('FWOUT'), 'CLOSE3 FWOUT again')
  call check(CRTBIN3(binpath, bin_slot, 'FW_TEST') /= 0, 'CRTBIN3')
  call check(WRBVARS(bin_slot, 1, 1, r) /= 0, 'WRBVARS')
  call check(WRBFLAG(bin_slot, 1, 1, [2024033, 0]) /= 0, 'WRBFLAG')
  call check(RDBFLAG(bin_slot, 1, 1, flags) /= 0, 'RDBFLAG')
  call check(flags(1) == 2024033 .and. flags(2) == 0, 'RDBFLAG values')
  rback = 0
  call check(RDBVARS(bin_slot, 1, ALLAYS3, 1, rback) /= 0, 'RDBVARS')
  call check(all(rback == r), 'RDBVARS values')
  call check(XTRBIN3(bin_slot, 1, 2, 2, 2, 3, 3, 4, 1, window) /= 0, 'XTRBIN3')
  call check(all(window(:, :, 1) == r(3:4, 2:3, 2)), 'XTRBIN3 values')
  call check(WRBPATCH(bin_slot, 1, [2, 1], [1, 1], 1, [-1.0, -2.0]) /= 0, 'WRBPATCH')
  call check(RDBVARS(bin_slot, 1, ALLAYS3, 1, rback) /= 0, 'RDBVARS after WRBPATCH')
  call check(rback(2, 1, 1) == -1.0 .and. rback(2, 1, 2) == -2.0, 'WRBPATCH values')
  call check(FLUSHBIN3(bin_slot) /= 0, 'FLUSHBIN3')
  call check(CLOSEBIN3(bin_slot) /= 0, 'CLOSEBIN3')
  call check(OPNBIN3(binpath, bin_slot, 0, 'FW_TEST') /= 0, 'OPNBIN3')
  call check(DSCBIN3(bin_slot) /= 0, 'DSCBIN3')
  call check(CLOSEBIN3(bin_slot) /= 0, 'CLOSEBIN3 after OPNBIN3')

  ! ---- Memory-resident buffer routines, on a slot of their own ------------------------------
  call check(BUFCRE3(mem_slot, 3, nl, nc * nr, [XQREAL, XQINT, XQDBLE], 10000) /= 0, 'BUFCRE3')
  call check(BUFPUT3(mem_slot, 1, cells, 0, 10000, r) /= 0, 'BUFPUT3')
  call check(BUFPUT3(mem_slot, 1, cells, 1, 10000, r + 2.0) /= 0, 'BUFPUT3 half 1')
  call check(BUFPUT3I(mem_slot, 2, cells, 0, 10000, iv) /= 0, 'BUFPUT3I')
  call check(BUFPUT3D(mem_slot, 3, cells, 0, 10000, dv) /= 0, 'BUFPUT3D')
  call check(BUFPUT3D(mem_slot, 3, cells, 1, 10000, dv * 3) /= 0, 'BUFPUT3D half 1')
  rback = 0
  call check(BUFGET3(mem_slot, 1, 0, nl, nc * nr, 0, rback) /= 0, 'BUFGET3')
  call check(all(rback == r), 'BUFGET3 values')
  call check(BUFGET3I(mem_slot, 2, 0, nl, nc * nr, 0, iback) /= 0, 'BUFGET3I')
  call check(all(iback == iv), 'BUFGET3I values')
  call check(BUFGET3D(mem_slot, 3, 0, nl, nc * nr, 0, dback) /= 0, 'BUFGET3D')
  call check(all(dback == dv), 'BUFGET3D values')
  call check(BUFXTR3(mem_slot, 1, 2, 2, 2, 3, 3, 4, nl, nr, nc, 0, window) /= 0, 'BUFXTR3')
  call check(all(window(:, :, 1) == r(3:4, 2:3, 2)), 'BUFXTR3 values')
  call check(BUFXTR3I(mem_slot, 2, 1, 1, 1, 1, 1, 1, nl, nr, nc, 0, iback) /= 0, 'BUFXTR3I')
  call check(iback(1) == iv(1), 'BUFXTR3I values')
  call check(BUFXTR3D(mem_slot, 3, 1, 1, 1, 1, 1, 1, nl, nr, nc, 0, dback) /= 0, 'BUFXTR3D')
  call check(dback(1) == dv(1), 'BUFXTR3D values')
  call check(BUFDDT3(mem_slot, 1, cells, 0, 0, 0.5, d1) /= 0, 'BUFDDT3')
  call check(all(d1 == 1.0), 'BUFDDT3 values')
  call check(BUFDDT3D(mem_slot, 3, cells, 0, 0, 1d0, dd) /= 0, 'BUFDDT3D')
  call check(all(dd == 2 * dv), 'BUFDDT3D values')
  call check(BUFINT3(mem_slot, 1, cells, 0, 10000, 0.5, 0.5, d1) /= 0, 'BUFINT3')
  call check(all(d1 == reshape(r, [cells]) + 1.0), 'BUFINT3 values')
  call check(BUFINT3D(mem_slot, 3, cells, 0, 10000, 0.5d0, 0.5d0, dd) /= 0, 'BUFINT3D')
  call check(all(dd == 2 * dv), 'BUFINT3D values')
  call check(BUFINTX(mem_slot, 1, cells, 0, 10000, [nc, nr], [1, 1, 1], [1, 1, 1], 1.0, 0.0, &
                     d1) /= 0, 'BUFINTX')
  call check(d1(1) == r(1, 1, 1), 'BUFINTX values')
  call check(BUFINTXD(mem_slot, 3, cells, 0, 10000, [nc, nr], [1, 1, 1], [1, 1, 1], 1d0, 0d0, &
                      dd) /= 0, 'BUFINTXD')
  call check(dd(1) == dv(1), 'BUFINTXD values')
  call check(BUFVGT3(mem_slot, 1, 0, [1, 1, 1, 1, 0], [nc, nr, nl, 1, 0], cells, 0, 10000) /= 0, &
             'BUFVGT3')
  call check(BUFVGT3D(mem_slot, 3, 0, [1, 1, 1, 1, 0], [nc, nr, nl, 1, 0], cells, 0, 10000) /= 0, &
             'BUFVGT3D')
  call check(BUFDEL3(mem_slot) /= 0, 'BUFDEL3')

  if (failures == 0) print '(a)', 'fortran_write_test: every routine as expected'
  call XQEXIT('FW_TEST', 0, 0, ' ', min(failures, 1) * 2)

contains

  subroutine describe()
    FTYPE3D = GRDDED3
    NCOLS3D = nc
    NROWS3D = nr
    NLAYS3D = nl
    NTHIK3D = 0
    GDTYP3D = 2
    XCELL3D = 1000d0
    YCELL3D = 1000d0
    VGTYP3D = 7
    VGLVS3D(1:3) = [1.0, 0.5, 0.0]
    SDATE3D = 2024033
    STIME3D = 0
    TSTEP3D = 10000
    NVARS3D = 3
    GDNAM3D = 'FW_GRID'
    VNAME3D(1:3) = [character(len=16) :: 'R', 'I', 'D']
    UNITS3D(1:3) = '1'
    VTYPE3D(1:3) = [XQREAL, XQINT, XQDBLE]
  end subroutine describe

  subroutine check(ok, what)
    logical, intent(in) :: ok
    character(len=*), intent(in) :: what
    if (ok) return
    failures = failures + 1
    print '(a, a)', 'fortran_write_test: FAILED: ', what
  end subroutine check

end program fortran_write_test
