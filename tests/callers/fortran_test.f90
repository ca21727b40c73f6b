! The Fortran module as a model program uses it, on the file write_grid_fixture makes (GRIDFILE):
! open, the description variables, READ3 into REAL, INTEGER and DOUBLE PRECISION arrays of
! several ranks, refused reads, why a file failed, the date routines and the setting readers
! (the test sets KAVRO_F_INT=42, KAVRO_F_YN=Y, KAVRO_F_STR=abc and
! KAVRO_F_MISSING=missing_file.nc), ending through XQEXIT.
program fortran_test
  use kavro
  implicit none
  integer :: failures = 0
  integer :: lay, row, col, cdate, ctime, jdate, jtime, stat, logdev
  logical :: ok
  real :: o3(4, 3, 2)
  integer :: cls(4, 3)
  double precision :: temp(4 * 3 * 2)
  character(len=8) :: text
  character(len=32) :: routine
  character(len=16) :: lname
  character(len=512) :: path
  character(len=160) :: cause
  character(len=4) :: short

  logdev = INIT3()
  call check(OPEN3('GRIDFILE', FSREAD3, 'FORTRAN_TEST'), 'OPEN3 GRIDFILE')
  call check(.not. OPEN3('NO_SUCH_FILE    ', FSREAD3, 'FORTRAN_TEST'), 'OPEN3 of a missing file')

  ! Why a file failed: the texts blank-padded to each field, or cut to it; none once forgotten.
  ! The test sets KAVRO_F_MISSING=missing_file.nc.
  routine = repeat('#', len(routine))
  call check(.not. OPEN3('KAVRO_F_MISSING', FSREAD3, 'FORTRAN_TEST'), 'OPEN3 of KAVRO_F_MISSING')
  call check(last_file_failure(routine, lname, path, cause), 'last_file_failure after OPEN3')
  call check(routine == 'OPEN3' .and. routine(6:) == '' .and. lname == 'KAVRO_F_MISSING' .and. &
             path == 'missing_file.nc' .and. cause == 'no such file', 'last_file_failure texts')
  call check(last_file_failure(routine, lname, short, cause) .and. short == 'miss', &
             'last_file_failure cuts the path to its field')
  call clear_file_failure()
  call check(.not. last_file_failure(routine, lname, path, cause) .and. routine == '' .and. &
             lname == '' .and. path == '' .and. cause == '', 'clear_file_failure forgets it')

  call check(DESC3('GRIDFILE'), 'DESC3')
  call check(FTYPE3D == GRDDED3 .and. NCOLS3D == 4 .and. NROWS3D == 3 .and. NLAYS3D == 2, &
             'DESC3 grid')
  call check(NVARS3D == 3 .and. VTYPE3D(1) == XQREAL .and. VTYPE3D(2) == XQINT .and. &
             VTYPE3D(3) == XQDBLE, 'DESC3 variable types')
  call check(SDATE3D == 2024033 .and. STIME3D == 0 .and. TSTEP3D == 10000 .and. MXREC3D == 2, &
             'DESC3 time steps')
  call check(XORIG3D == -120000d0 .and. XCELL3D == 12000d0, 'DESC3 map')
  call check(GDNAM3D == 'FIXTURE_GRID' .and. VNAME3D(2) == 'CLASS' .and. UNITS3D(1) == 'ppmV' &
             .and. VDESC3D(3) == 'temperature', 'DESC3 texts')

  ! O3 at the second step, every layer, into a rank-3 array.
  call check(READ3('GRIDFILE', 'O3', ALLAYS3, 2024033, 10000, o3), 'READ3 O3')
  ok = .true.
  do lay = 1, 2
    do row = 1, 3
      do col = 1, 4
        ok = ok .and. o3(col, row, lay) == real(value(1, 2, lay, row, col))
      end do
    end do
  end do
  call check(ok, 'READ3 O3 values')

  ! CLASS, layer 2 only, into a rank-2 INTEGER array: values rounded half away from zero.
  call check(READ3('GRIDFILE', 'CLASS', 2, 2024033, 0, cls), 'READ3 CLASS')
  ok = .true.
  do row = 1, 3
    do col = 1, 4
      ok = ok .and. cls(col, row) == nint(value(2, 1, 2, row, col))
    end do
  end do
  call check(ok, 'READ3 CLASS values')

  call check(READ3('GRIDFILE', 'TEMP', ALLAYS3, 2024033, 0, temp), 'READ3 TEMP')
  call check(temp(1) == value(3, 1, 1, 1, 1) .and. temp(24) == value(3, 1, 2, 3, 4), &
             'READ3 TEMP values')

  ! A read that would not fit is refused and leaves the array alone.
  cls = -1
  call check(.not. READ3('GRIDFILE', 'CLASS', ALLAYS3, 2024033, 0, cls) .and. all(cls == -1), &
             'READ3 refuses an array too small')
  call check(.not. READ3('GRIDFILE', 'O3', ALLAYS3, 2024033, 20000, o3), 'READ3 of a missing step')

  ! Dates and times.
  jdate = 2024366
  jtime = 230000
  call NEXTIME(jdate, jtime, 20000)
  call check(jdate == 2025001 .and. jtime == 10000, 'NEXTIME across the year')
  call check(SECSDIFF(2024033, 0, 2024034, 10000) == 90000, 'SECSDIFF')
  call check(CURREC(2024033, 13000, 2024033, 0, 10000, cdate, ctime) == 2 .and. &
             cdate == 2024033 .and. ctime == 10000, 'CURREC')

  ! Settings.
  call check(ENVINT('KAVRO_F_INT', 'an integer', 7, stat) == 42 .and. stat == 0, 'ENVINT')
  call check(ENVYN('KAVRO_F_YN', 'yes or no', .false., stat) .and. stat == 0, 'ENVYN')
  call check(ENVREAL('KAVRO_F_UNSET', 'a real', 2.5, stat) == 2.5 .and. stat == -2, 'ENVREAL')
  call check(ENVDBLE('KAVRO_F_INT', 'a double', 1d0, stat) == 42d0 .and. stat == 0, 'ENVDBLE')
  text = '########'
  call ENVSTR('KAVRO_F_STR', 'a text', 'dflt', text, stat)
  call check(text == 'abc     ' .and. stat == 0, 'ENVSTR blank-fills')

  call check(CLOSE3('GRIDFILE'), 'CLOSE3')
  call check(SHUT3(), 'SHUT3')
  call XQMESG('Fortran test done')
  if (failures == 0) then
    call XQEXIT('FORTRAN_TEST', 0, 0, ' ', 0)
  end if
  call XQEXIT('FORTRAN_TEST', 0, 0, 'Some checks failed', 2)

contains

  double precision function value(var, rec, lay, row, col)
    integer, intent(in) :: var, rec, lay, row, col
    value = var * 1000d0 + rec * 100d0 + lay * 10d0 + row + col * 0.25d0
  end function value

  subroutine check(passed, what)
    logical, intent(in) :: passed
    character(len=*), intent(in) :: what
    if (.not. passed) then
      failures = failures + 1
      print '(a, a)', 'FAILED: ', what
    end if
  end subroutine check

end program fortran_test
