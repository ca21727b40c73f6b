! Opens the gridded file named by the logical name GRIDFILE, describes it, reads its first
! variable at its first time step and prints the grid, the variables and the first layer's
! corner values, through the Fortran module. A file it cannot open is named on standard error
! with the reason the library gives.
!
!   GRIDFILE=run1.nc LOGFILE=/dev/null ./read_grid_f
program read_grid_f
  use, intrinsic :: iso_fortran_env, only: error_unit
  use kavro
  implicit none
  integer :: logdev, v
  real, allocatable :: values(:, :, :)
  character(len=32) :: routine
  character(len=16) :: lname
  character(len=512) :: path
  character(len=160) :: cause

  logdev = INIT3()
  if (.not. OPEN3('GRIDFILE', FSREAD3, 'READ_GRID_F')) then
    ! Why, as the log gives it: the routine, the logical name, its path and a short cause.
    if (last_file_failure(routine, lname, path, cause)) then
      write (error_unit, '(a)') 'read_grid_f: ' // trim(routine) // ': ' // trim(lname) // &
        ' (' // trim(path) // '): ' // trim(cause)
    end if
    call XQEXIT('READ_GRID_F', 0, 0, 'Could not open GRIDFILE', 2)
  end if
  if (.not. DESC3('GRIDFILE')) then
    call XQEXIT('READ_GRID_F', 0, 0, 'Could not describe GRIDFILE', 2)
  end if
  ! DESC3 leaves the description in the module's variables.
  print '(a, a, a, i0, a, i0, a, i0, a, i0, a)', 'grid ', GDNAM3D, ': ', NCOLS3D, ' columns x ', &
    NROWS3D, ' rows x ', NLAYS3D, ' layers, ', NVARS3D, ' variables'
  do v = 1, NVARS3D
    print '(a, a, 1x, a, a, i0)', '  ', VNAME3D(v), UNITS3D(v), ' type ', VTYPE3D(v)
  end do
  if (NVARS3D < 1 .or. VTYPE3D(1) /= XQREAL) call XQEXIT('READ_GRID_F', 0, 0, ' ', 0)

  allocate(values(NCOLS3D, NROWS3D, NLAYS3D))
  if (.not. READ3('GRIDFILE', VNAME3D(1), ALLAYS3, SDATE3D, STIME3D, values)) then
    call XQEXIT('READ_GRID_F', 0, 0, 'Could not read GRIDFILE', 2)
  end if
  print '(a, a, i0, a, i6.6, a, 4(1x, g0))', VNAME3D(1), ' at ', SDATE3D, ':', STIME3D, &
    ', corners of layer 1:', values(1, 1, 1), values(NCOLS3D, 1, 1), values(1, NROWS3D, 1), &
    values(NCOLS3D, NROWS3D, 1)
  call XQEXIT('READ_GRID_F', 0, 0, ' ', 0)
end program read_grid_f
