! Creates a small gridded file through the Fortran module, writes three hourly steps of one
! variable with WRITE3, reopens the file read-only, reads the steps back with READ3 and prints
! a summary. The file is named by the logical name OUTFILE (a path), replaced if it exists.
!
!   OUTFILE=out.nc LOGFILE=/dev/null ./write_grid_f
program write_grid_f
  use kavro
  implicit none
  integer :: logdev, k, jdate, jtime
  real :: t2(4, 3, 2)

  logdev = INIT3()
  ! The description variables are what OPEN3 creates a file from.
  FTYPE3D = GRDDED3
  NCOLS3D = 4
  NROWS3D = 3
  NLAYS3D = 2
  NTHIK3D = 0
  GDTYP3D = 2
  P_ALP3D = 30d0
  P_BET3D = 60d0
  P_GAM3D = -90d0
  XCENT3D = -90d0
  YCENT3D = 40d0
  XORIG3D = -24000d0
  YORIG3D = -18000d0
  XCELL3D = 12000d0
  YCELL3D = 12000d0
  VGTYP3D = 7
  VGTOP3D = 5000.0
  VGLVS3D(1:3) = [1.0, 0.5, 0.0]
  SDATE3D = 2024033
  STIME3D = 0
  TSTEP3D = 10000
  NVARS3D = 1
  GDNAM3D = 'EXAMPLE_GRID'
  FDESC3D(1) = 'Written by the write_grid_f example'
  VNAME3D(1) = 'T2'
  UNITS3D(1) = 'K'
  VDESC3D(1) = 'temperature'
  VTYPE3D(1) = XQREAL
  if (.not. OPEN3('OUTFILE', FSCREA3, 'WRITE_GRID_F')) then
    call XQEXIT('WRITE_GRID_F', 0, 0, 'Could not create OUTFILE', 2)
  end if

  jdate = SDATE3D
  jtime = STIME3D
  do k = 0, 2
    t2 = 280.0 + 0.5 * k
    if (.not. WRITE3('OUTFILE', 'T2', jdate, jtime, t2)) then
      call XQEXIT('WRITE_GRID_F', jdate, jtime, 'Could not write T2', 2)
    end if
    call NEXTIME(jdate, jtime, TSTEP3D)
  end do
  if (.not. CLOSE3('OUTFILE')) call XQEXIT('WRITE_GRID_F', 0, 0, 'Could not close OUTFILE', 2)

  if (.not. OPEN3('OUTFILE', FSREAD3, 'WRITE_GRID_F')) then
    call XQEXIT('WRITE_GRID_F', 0, 0, 'Could not reopen OUTFILE', 2)
  end if
  if (.not. DESC3('OUTFILE')) call XQEXIT('WRITE_GRID_F', 0, 0, 'Could not describe OUTFILE', 2)
  print '(a, a, i0, a)', GDNAM3D, ': ', MXREC3D, ' steps'
  jdate = SDATE3D
  jtime = STIME3D
  do k = 1, MXREC3D
    if (.not. READ3('OUTFILE', 'T2', ALLAYS3, jdate, jtime, t2)) then
      call XQEXIT('WRITE_GRID_F', jdate, jtime, 'Could not read T2', 2)
    end if
    print '(a, i0, a, i6.6, a, f6.1, a, f6.1)', 'T2 at ', jdate, ':', jtime, ': from ', &
      minval(t2), ' to ', maxval(t2)
    call NEXTIME(jdate, jtime, TSTEP3D)
  end do
  call XQEXIT('WRITE_GRID_F', 0, 0, ' ', 0)
end program write_grid_f
