! The kavro library for Fortran programs: USE kavro.
!
! Text arguments are ordinary blank-padded CHARACTER variables of any length; the library sees
! each at its declared length, trailing blanks included, as it sees the C++ callers' fields.
! DESC3 fills the description variables below (NCOLS3D, VNAME3D, ...), which keep the last
! successful description until the next one; OPEN3 with FSNEW3, FSUNKN3 or FSCREA3 creates a
! file from them. READ3 reads into and WRITE3 writes from REAL, INTEGER or DOUBLE PRECISION
! arrays of any rank; a transfer that would not fit is refused with a warning in the log.
!
! The native binary (RDBVARS, WRBFLAG, ...) and memory-resident (BUFPUT3, BUFGET3, ...)
! routines are the C routines themselves: their interfaces take the numbers by VALUE, so they
! are called with plain INTEGER and REAL arguments, and their buffers as arrays of any type.
module kavro
  use, intrinsic :: iso_c_binding, only: c_char, c_double, c_float, c_int, c_int64_t, c_loc, &
                                         c_null_char, c_ptr
  implicit none
  private

  ! ---- Limits and codes ----------------------------------------------------------------------
  integer, parameter, public :: MXVARS3 = 2048, MXOPEN3 = 200, MXDLEN3 = 80, MXDESC3 = 60
  integer, parameter, public :: NAMLEN3 = 16, MXLAYS3 = 100, MXLEVS3 = 101, IMISSING3 = -9999
  integer, parameter, public :: KFEVNT3 = -3, DGRAPH3 = -2, CUSTOM3 = -1, DCTNRY3 = 0
  integer, parameter, public :: GRDDED3 = 1, BNDARY3 = 2, IDDATA3 = 3, PROFIL3 = 4
  integer, parameter, public :: GRNEST3 = 5, SMATRX3 = 6, PTRFLY3 = 8
  integer, parameter, public :: FSREAD3 = 1, FSRDWR3 = 2, FSNEW3 = 3, FSUNKN3 = 4, FSCREA3 = 5
  integer, parameter, public :: XQINT = 4, XQREAL = 5, XQDBLE = 6
  integer, parameter, public :: ALLVAR3 = -1, ALLAYS3 = -1

  ! ---- The file description record, as the last successful DESC3 left it ----------------------
  real(c_double), public, save :: P_ALP3D = 0, P_BET3D = 0, P_GAM3D = 0, XCENT3D = 0, YCENT3D = 0
  real(c_double), public, save :: XORIG3D = 0, YORIG3D = 0, XCELL3D = 0, YCELL3D = 0
  integer, public, save :: FTYPE3D = 0, CDATE3D = 0, CTIME3D = 0, WDATE3D = 0, WTIME3D = 0
  integer, public, save :: SDATE3D = 0, STIME3D = 0, TSTEP3D = 0, MXREC3D = 0, NVARS3D = 0
  integer, public, save :: NCOLS3D = 0, NROWS3D = 0, NLAYS3D = 0, NTHIK3D = 0, GDTYP3D = 0
  integer, public, save :: VGTYP3D = 0
  real, public, save :: VGTOP3D = 0
  real, public, save :: VGLVS3D(MXLEVS3) = 0
  integer, public, save :: VTYPE3D(MXVARS3) = 0
  character(len=NAMLEN3), public, save :: GDNAM3D = ' ', UPNAM3D = ' '
  character(len=MXDLEN3), public, save :: EXECN3D = ' '
  character(len=MXDLEN3), public, save :: FDESC3D(MXDESC3) = ' ', UPDSC3D(MXDESC3) = ' '
  character(len=NAMLEN3), public, save :: VNAME3D(MXVARS3) = ' ', UNITS3D(MXVARS3) = ' '
  character(len=MXDLEN3), public, save :: VDESC3D(MXVARS3) = ' '

  ! ---- Routines ------------------------------------------------------------------------------
  public :: INIT3, OPEN3, DESC3, READ3, WRITE3, CLOSE3, SHUT3, XQEXIT
  public :: last_file_failure, clear_file_failure
  public :: INITBIN3, CRTBIN3, OPNBIN3, DSCBIN3, RDBFLAG, WRBFLAG, RDBVARS, WRBVARS, XTRBIN3
  public :: WRBPATCH, FLUSHBIN3, CLOSEBIN3
  public :: BUFCRE3, BUFGET3, BUFGET3I, BUFGET3D, BUFPUT3, BUFPUT3I, BUFPUT3D, BUFXTR3, BUFXTR3I
  public :: BUFXTR3D, BUFDDT3, BUFDDT3D, BUFVGT3, BUFVGT3D, BUFDEL3, BUFINT3, BUFINT3D, BUFINTX
  public :: BUFINTXD
  public :: XQMESG, XQMSG2, XQWARN, XQERR
  public :: NEXTIME, SECSDIFF, CURREC
  public :: ENVYN, ENVINT, ENVREAL, ENVDBLE, ENVSTR

  interface READ3
    module procedure read3_real, read3_int, read3_double
  end interface READ3

  interface WRITE3
    module procedure write3_real, write3_int, write3_double
  end interface WRITE3

  ! The numbers of the description record as the bridge hands them over (struct kavro_bdesc3).
  type, bind(C) :: bdesc3_numbers
    real(c_double) :: p_alp, p_bet, p_gam, xcent, ycent, xorig, yorig, xcell, ycell
    integer(c_int) :: ftype, cdate, ctime, wdate, wtime, sdate, stime, tstep, mxrec, nvars
    integer(c_int) :: ncols, nrows, nlays, nthik, gdtyp, vgtyp
    real(c_float) :: vgtop
    real(c_float) :: vglvs(MXLEVS3)
    integer(c_int) :: vtype(MXVARS3)
  end type bdesc3_numbers

  interface
    integer(c_int) function kavro_f_init3() bind(C)
      import :: c_int
    end function
    integer(c_int) function kavro_f_open3(fname, flen, fstatus, pname, plen) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: fname(*), pname(*)
      integer(c_int), value :: flen, fstatus, plen
    end function
    integer(c_int) function kavro_f_desc3(fname, flen, bdesc, gdnam, upnam, execn, fdesc, updsc, &
                                          vname, units, vdesc) bind(C)
      import :: c_char, c_int, bdesc3_numbers
      character(kind=c_char), intent(in) :: fname(*)
      integer(c_int), value :: flen
      type(bdesc3_numbers), intent(inout) :: bdesc
      character(kind=c_char), intent(inout) :: gdnam(*), upnam(*), execn(*), fdesc(*), updsc(*)
      character(kind=c_char), intent(inout) :: vname(*), units(*), vdesc(*)
    end function
    integer(c_int) function kavro_f_read3(fname, flen, vname, vlen, layer, jdate, jtime, buffer, &
                                          nbytes) bind(C)
      import :: c_char, c_int, c_int64_t, c_ptr
      character(kind=c_char), intent(in) :: fname(*), vname(*)
      integer(c_int), value :: flen, vlen, layer, jdate, jtime
      type(c_ptr), value :: buffer
      integer(c_int64_t), value :: nbytes
    end function
    integer(c_int) function kavro_f_close3(fname, flen) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: fname(*)
      integer(c_int), value :: flen
    end function
    integer(c_int) function kavro_f_shut3() bind(C)
      import :: c_int
    end function
    subroutine kavro_f_xqexit(caller, clen, jdate, jtime, msg, mlen, exitstat) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: caller(*), msg(*)
      integer(c_int), value :: clen, jdate, jtime, mlen, exitstat
    end subroutine
    integer(c_int) function kavro_f_last_file_failure(routine, rlen, lname, llen, path, plen, &
                                                      cause, clen) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(out) :: routine(*), lname(*), path(*), cause(*)
      integer(c_int), value :: rlen, llen, plen, clen
    end function
    subroutine kavro_f_clear_file_failure() bind(C)
    end subroutine
    subroutine kavro_f_xqmesg(msg, mlen) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: msg(*)
      integer(c_int), value :: mlen
    end subroutine
    subroutine kavro_f_xqmsg2(msg, mlen) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: msg(*)
      integer(c_int), value :: mlen
    end subroutine
    subroutine kavro_f_xqwarn(caller, clen, jdate, jtime, msg, mlen) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: caller(*), msg(*)
      integer(c_int), value :: clen, jdate, jtime, mlen
    end subroutine
    subroutine kavro_f_xqerr(caller, clen, jdate, jtime, msg, mlen, fatal) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: caller(*), msg(*)
      integer(c_int), value :: clen, jdate, jtime, mlen, fatal
    end subroutine
    subroutine kavro_f_nextime(jdate, jtime, tstep) bind(C)
      import :: c_int
      integer(c_int), intent(inout) :: jdate, jtime
      integer(c_int), value :: tstep
    end subroutine
    integer(c_int) function kavro_f_secsdiff(adate, atime, zdate, ztime) bind(C)
      import :: c_int
      integer(c_int), value :: adate, atime, zdate, ztime
    end function
    integer(c_int) function kavro_f_currec(jdate, jtime, sdate, stime, tstep, cdate, ctime) bind(C)
      import :: c_int
      integer(c_int), value :: jdate, jtime, sdate, stime, tstep
      integer(c_int), intent(out) :: cdate, ctime
    end function
    integer(c_int) function kavro_f_envyn(lname, llen, desc, dlen, defaultval, stat) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: lname(*), desc(*)
      integer(c_int), value :: llen, dlen, defaultval
      integer(c_int), intent(out) :: stat
    end function
    integer(c_int) function kavro_f_envint(lname, llen, desc, dlen, defaultval, stat) bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: lname(*), desc(*)
      integer(c_int), value :: llen, dlen, defaultval
      integer(c_int), intent(out) :: stat
    end function
    real(c_float) function kavro_f_envreal(lname, llen, desc, dlen, defaultval, stat) bind(C)
      import :: c_char, c_float, c_int
      character(kind=c_char), intent(in) :: lname(*), desc(*)
      integer(c_int), value :: llen, dlen
      real(c_float), value :: defaultval
      integer(c_int), intent(out) :: stat
    end function
    real(c_double) function kavro_f_envdble(lname, llen, desc, dlen, defaultval, stat) bind(C)
      import :: c_char, c_double, c_int
      character(kind=c_char), intent(in) :: lname(*), desc(*)
      integer(c_int), value :: llen, dlen
      real(c_double), value :: defaultval
      integer(c_int), intent(out) :: stat
    end function
    subroutine kavro_f_envstr(lname, llen, desc, dlen, defaultval, deflen, eqname, eqlen, stat) &
        bind(C)
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: lname(*), desc(*), defaultval(*)
      character(kind=c_char), intent(inout) :: eqname(*)
      integer(c_int), value :: llen, dlen, deflen, eqlen
      integer(c_int), intent(out) :: stat
    end subroutine
    integer(c_int) function kavro_f_write3(fname, flen, vname, vlen, jdate, jtime, buffer, &
                                           nbytes) bind(C)
      import :: c_char, c_int, c_int64_t, c_ptr
      character(kind=c_char), intent(in) :: fname(*), vname(*)
      integer(c_int), value :: flen, vlen, jdate, jtime
      type(c_ptr), value :: buffer
      integer(c_int64_t), value :: nbytes
    end function
    subroutine kavro_f_setdesc(bdesc, gdnam, upnam, execn, fdesc, updsc, vname, units, vdesc) &
        bind(C)
      import :: c_char, bdesc3_numbers
      type(bdesc3_numbers), intent(in) :: bdesc
      character(kind=c_char), intent(in) :: gdnam(*), upnam(*), execn(*), fdesc(*), updsc(*)
      character(kind=c_char), intent(in) :: vname(*), units(*), vdesc(*)
    end subroutine

    ! ---- Native binary files: the C routines (names NUL-terminated: see CRTBIN3, OPNBIN3) -----
    integer(c_int) function INITBIN3(version, jdate, jtime) bind(C, name='INITBIN3')
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: version(*)
      integer(c_int), value :: jdate, jtime
    end function
    integer(c_int) function crtbin3_c(fname, fid, pgname) bind(C, name='CRTBIN3')
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: fname(*), pgname(*)
      integer(c_int), value :: fid
    end function
    integer(c_int) function opnbin3_c(fname, fid, access, pgname) bind(C, name='OPNBIN3')
      import :: c_char, c_int
      character(kind=c_char), intent(in) :: fname(*), pgname(*)
      integer(c_int), value :: fid, access
    end function
    integer(c_int) function DSCBIN3(fid) bind(C, name='DSCBIN3')
      import :: c_int
      integer(c_int), value :: fid
    end function
    integer(c_int) function RDBFLAG(fid, vid, step, flags) bind(C, name='RDBFLAG')
      import :: c_int
      integer(c_int), value :: fid, vid, step
      integer(c_int), intent(out) :: flags(*)
    end function
    integer(c_int) function WRBFLAG(fid, vid, step, flags) bind(C, name='WRBFLAG')
      import :: c_int
      integer(c_int), value :: fid, vid, step
      integer(c_int), intent(in) :: flags(*)
    end function
    integer(c_int) function RDBVARS(fid, vid, layer, step, buffer) bind(C, name='RDBVARS')
      import :: c_int
      integer(c_int), value :: fid, vid, layer, step
      type(*), intent(inout) :: buffer(*)
    end function
    integer(c_int) function WRBVARS(fid, vid, step, buffer) bind(C, name='WRBVARS')
      import :: c_int
      integer(c_int), value :: fid, vid, step
      type(*), intent(in) :: buffer(*)
    end function
    integer(c_int) function XTRBIN3(fid, vid, lay0, lay1, row0, row1, col0, col1, step, buffer) &
        bind(C, name='XTRBIN3')
      import :: c_int
      integer(c_int), value :: fid, vid, lay0, lay1, row0, row1, col0, col1, step
      type(*), intent(inout) :: buffer(*)
    end function
    integer(c_int) function WRBPATCH(fid, vid, origin, size, step, buffer) bind(C, name='WRBPATCH')
      import :: c_int
      integer(c_int), value :: fid, vid, step
      integer(c_int), intent(in) :: origin(2), size(2)
      type(*), intent(in) :: buffer(*)
    end function
    integer(c_int) function FLUSHBIN3(fid) bind(C, name='FLUSHBIN3')
      import :: c_int
      integer(c_int), value :: fid
    end function
    integer(c_int) function CLOSEBIN3(fid) bind(C, name='CLOSEBIN3')
      import :: c_int
      integer(c_int), value :: fid
    end function

    ! ---- Memory-resident buffers: the C routines -------------------------------------------------
    integer(c_int) function BUFCRE3(fid, nvars, nlays, size, vtype, tstep) bind(C, name='BUFCRE3')
      import :: c_int
      integer(c_int), value :: fid, nvars, nlays, size, tstep
      integer(c_int), intent(in) :: vtype(*)
    end function
    integer(c_int) function BUFGET3(fid, vid, layer, nlays, size, half, buffer) &
        bind(C, name='BUFGET3')
      import :: c_int, c_float
      integer(c_int), value :: fid, vid, layer, nlays, size, half
      real(c_float), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFGET3I(fid, vid, layer, nlays, size, half, buffer) &
        bind(C, name='BUFGET3I')
      import :: c_int
      integer(c_int), value :: fid, vid, layer, nlays, size, half
      integer(c_int), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFGET3D(fid, vid, layer, nlays, size, half, buffer) &
        bind(C, name='BUFGET3D')
      import :: c_int, c_double
      integer(c_int), value :: fid, vid, layer, nlays, size, half
      real(c_double), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFPUT3(fid, vid, size, half, tstep, buffer) bind(C, name='BUFPUT3')
      import :: c_int, c_float
      integer(c_int), value :: fid, vid, size, half, tstep
      real(c_float), intent(in) :: buffer(*)
    end function
    integer(c_int) function BUFPUT3I(fid, vid, size, half, tstep, buffer) bind(C, name='BUFPUT3I')
      import :: c_int
      integer(c_int), value :: fid, vid, size, half, tstep
      integer(c_int), intent(in) :: buffer(*)
    end function
    integer(c_int) function BUFPUT3D(fid, vid, size, half, tstep, buffer) bind(C, name='BUFPUT3D')
      import :: c_int, c_double
      integer(c_int), value :: fid, vid, size, half, tstep
      real(c_double), intent(in) :: buffer(*)
    end function
    integer(c_int) function BUFXTR3(fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, &
                                    ncols, half, buffer) bind(C, name='BUFXTR3')
      import :: c_int, c_float
      integer(c_int), value :: fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, ncols
      integer(c_int), value :: half
      real(c_float), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFXTR3I(fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, &
                                     ncols, half, buffer) bind(C, name='BUFXTR3I')
      import :: c_int
      integer(c_int), value :: fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, ncols
      integer(c_int), value :: half
      integer(c_int), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFXTR3D(fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, &
                                     ncols, half, buffer) bind(C, name='BUFXTR3D')
      import :: c_int, c_double
      integer(c_int), value :: fid, vid, lay0, lay1, row0, row1, col0, col1, nlays, nrows, ncols
      integer(c_int), value :: half
      real(c_double), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFDDT3(fid, vid, size, half, unused, scale, buffer) &
        bind(C, name='BUFDDT3')
      import :: c_int, c_float
      integer(c_int), value :: fid, vid, size, half, unused
      real(c_float), value :: scale
      real(c_float), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFDDT3D(fid, vid, size, half, unused, scale, buffer) &
        bind(C, name='BUFDDT3D')
      import :: c_int, c_double
      integer(c_int), value :: fid, vid, size, half, unused
      real(c_double), value :: scale
      real(c_double), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFVGT3(fid, vid, doread, start, count, size, half, tstep) &
        bind(C, name='BUFVGT3')
      import :: c_int
      integer(c_int), value :: fid, vid, doread, size, half, tstep
      integer(c_int), intent(in) :: start(*), count(*)
    end function
    integer(c_int) function BUFVGT3D(fid, vid, doread, start, count, size, half, tstep) &
        bind(C, name='BUFVGT3D')
      import :: c_int
      integer(c_int), value :: fid, vid, doread, size, half, tstep
      integer(c_int), intent(in) :: start(*), count(*)
    end function
    integer(c_int) function BUFDEL3(fid) bind(C, name='BUFDEL3')
      import :: c_int
      integer(c_int), value :: fid
    end function
    integer(c_int) function BUFINT3(fid, vid, size, half, tstep, p, q, buffer) &
        bind(C, name='BUFINT3')
      import :: c_int, c_float
      integer(c_int), value :: fid, vid, size, half, tstep
      real(c_float), value :: p, q
      real(c_float), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFINT3D(fid, vid, size, half, tstep, p, q, buffer) &
        bind(C, name='BUFINT3D')
      import :: c_int, c_double
      integer(c_int), value :: fid, vid, size, half, tstep
      real(c_double), value :: p, q
      real(c_double), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFINTX(fid, vid, size, half, tstep, dims, lo, hi, p, q, buffer) &
        bind(C, name='BUFINTX')
      import :: c_int, c_float
      integer(c_int), value :: fid, vid, size, half, tstep
      integer(c_int), intent(in) :: dims(2), lo(3), hi(3)
      real(c_float), value :: p, q
      real(c_float), intent(out) :: buffer(*)
    end function
    integer(c_int) function BUFINTXD(fid, vid, size, half, tstep, dims, lo, hi, p, q, buffer) &
        bind(C, name='BUFINTXD')
      import :: c_int, c_double
      integer(c_int), value :: fid, vid, size, half, tstep
      integer(c_int), intent(in) :: dims(2), lo(3), hi(3)
      real(c_double), value :: p, q
      real(c_double), intent(out) :: buffer(*)
    end function
  end interface

contains

  ! ---- Initialisation, files and exit --------------------------------------------------------

  integer function INIT3()
    INIT3 = kavro_f_init3()
  end function INIT3

  logical function OPEN3(fname, fstatus, pgname)
    character(len=*), intent(in) :: fname, pgname
    integer, intent(in) :: fstatus
    ! A file that may be created is created from the module's description variables.
    if (fstatus == FSNEW3 .or. fstatus == FSUNKN3 .or. fstatus == FSCREA3) call set_description()
    OPEN3 = kavro_f_open3(fname, len(fname), fstatus, pgname, len(pgname)) /= 0
  end function OPEN3

  subroutine set_description()
    type(bdesc3_numbers) :: b
    b = bdesc3_numbers(P_ALP3D, P_BET3D, P_GAM3D, XCENT3D, YCENT3D, XORIG3D, YORIG3D, XCELL3D, &
                       YCELL3D, FTYPE3D, CDATE3D, CTIME3D, WDATE3D, WTIME3D, SDATE3D, STIME3D, &
                       TSTEP3D, MXREC3D, NVARS3D, NCOLS3D, NROWS3D, NLAYS3D, NTHIK3D, GDTYP3D, &
                       VGTYP3D, VGTOP3D, VGLVS3D, VTYPE3D)
    call kavro_f_setdesc(b, GDNAM3D, UPNAM3D, EXECN3D, FDESC3D, UPDSC3D, VNAME3D, UNITS3D, VDESC3D)
  end subroutine set_description

  ! The native binary routines that take a path and a program name: Fortran texts, passed on
  ! NUL-terminated.
  integer function CRTBIN3(fname, fid, pgname)
    character(len=*), intent(in) :: fname, pgname
    integer, intent(in) :: fid
    CRTBIN3 = crtbin3_c(trim(fname) // c_null_char, fid, trim(pgname) // c_null_char)
  end function CRTBIN3

  integer function OPNBIN3(fname, fid, access, pgname)
    character(len=*), intent(in) :: fname, pgname
    integer, intent(in) :: fid, access
    OPNBIN3 = opnbin3_c(trim(fname) // c_null_char, fid, access, trim(pgname) // c_null_char)
  end function OPNBIN3

  logical function DESC3(fname)
    character(len=*), intent(in) :: fname
    type(bdesc3_numbers) :: b
    DESC3 = kavro_f_desc3(fname, len(fname), b, GDNAM3D, UPNAM3D, EXECN3D, FDESC3D, UPDSC3D, &
                          VNAME3D, UNITS3D, VDESC3D) /= 0
    if (.not. DESC3) return
    P_ALP3D = b%p_alp
    P_BET3D = b%p_bet
    P_GAM3D = b%p_gam
    XCENT3D = b%xcent
    YCENT3D = b%ycent
    XORIG3D = b%xorig
    YORIG3D = b%yorig
    XCELL3D = b%xcell
    YCELL3D = b%ycell
    FTYPE3D = b%ftype
    CDATE3D = b%cdate
    CTIME3D = b%ctime
    WDATE3D = b%wdate
    WTIME3D = b%wtime
    SDATE3D = b%sdate
    STIME3D = b%stime
    TSTEP3D = b%tstep
    MXREC3D = b%mxrec
    NVARS3D = b%nvars
    NCOLS3D = b%ncols
    NROWS3D = b%nrows
    NLAYS3D = b%nlays
    NTHIK3D = b%nthik
    GDTYP3D = b%gdtyp
    VGTYP3D = b%vgtyp
    VGTOP3D = b%vgtop
    VGLVS3D = b%vglvs
    VTYPE3D = b%vtype
  end function DESC3

  logical function read3_real(fname, vname, layer, jdate, jtime, buffer)
    character(len=*), intent(in) :: fname, vname
    integer, intent(in) :: layer, jdate, jtime
    real(c_float), intent(inout), contiguous, target :: buffer(..)
    read3_real = kavro_f_read3(fname, len(fname), vname, len(vname), layer, jdate, jtime, &
                               c_loc(buffer), size(buffer, kind=c_int64_t) * 4) /= 0
  end function read3_real

  logical function read3_int(fname, vname, layer, jdate, jtime, buffer)
    character(len=*), intent(in) :: fname, vname
    integer, intent(in) :: layer, jdate, jtime
    integer(c_int), intent(inout), contiguous, target :: buffer(..)
    read3_int = kavro_f_read3(fname, len(fname), vname, len(vname), layer, jdate, jtime, &
                              c_loc(buffer), size(buffer, kind=c_int64_t) * 4) /= 0
  end function read3_int

  logical function read3_double(fname, vname, layer, jdate, jtime, buffer)
    character(len=*), intent(in) :: fname, vname
    integer, intent(in) :: layer, jdate, jtime
    real(c_double), intent(inout), contiguous, target :: buffer(..)
    read3_double = kavro_f_read3(fname, len(fname), vname, len(vname), layer, jdate, jtime, &
                                 c_loc(buffer), size(buffer, kind=c_int64_t) * 8) /= 0
  end function read3_double

  logical function write3_real(fname, vname, jdate, jtime, buffer)
    character(len=*), intent(in) :: fname, vname
    integer, intent(in) :: jdate, jtime
    real(c_float), intent(in), contiguous, target :: buffer(..)
    write3_real = kavro_f_write3(fname, len(fname), vname, len(vname), jdate, jtime, &
                                 c_loc(buffer), size(buffer, kind=c_int64_t) * 4) /= 0
  end function write3_real

  logical function write3_int(fname, vname, jdate, jtime, buffer)
    character(len=*), intent(in) :: fname, vname
    integer, intent(in) :: jdate, jtime
    integer(c_int), intent(in), contiguous, target :: buffer(..)
    write3_int = kavro_f_write3(fname, len(fname), vname, len(vname), jdate, jtime, &
                                c_loc(buffer), size(buffer, kind=c_int64_t) * 4) /= 0
  end function write3_int

  logical function write3_double(fname, vname, jdate, jtime, buffer)
    character(len=*), intent(in) :: fname, vname
    integer, intent(in) :: jdate, jtime
    real(c_double), intent(in), contiguous, target :: buffer(..)
    write3_double = kavro_f_write3(fname, len(fname), vname, len(vname), jdate, jtime, &
                                   c_loc(buffer), size(buffer, kind=c_int64_t) * 8) /= 0
  end function write3_double

  logical function CLOSE3(fname)
    character(len=*), intent(in) :: fname
    CLOSE3 = kavro_f_close3(fname, len(fname)) /= 0
  end function CLOSE3

  logical function SHUT3()
    SHUT3 = kavro_f_shut3() /= 0
  end function SHUT3

  subroutine XQEXIT(caller, jdate, jtime, msgtxt, exitstat)
    character(len=*), intent(in) :: caller, msgtxt
    integer, intent(in) :: jdate, jtime, exitstat
    call kavro_f_xqexit(caller, len(caller), jdate, jtime, msgtxt, len(msgtxt), exitstat)
  end subroutine XQEXIT

  ! Why a file failed: after a routine returned .FALSE., the last failure of a file the
  ! library reported, as the log gives it: the routine that reported it ('OPEN3'), the file's
  ! logical name, the path that name stands for and a short cause ('no such file'). Each text
  ! is blank-padded to its argument's length (32, 16, 512 and 160 characters hold any whole),
  ! a longer one cut before a whole character (UTF-8). .FALSE., every argument blank, when no
  ! failure is recorded; clear_file_failure forgets it, so a call made afterwards tells whether
  ! that call failed on a file.
  logical function last_file_failure(routine, lname, path, cause)
    character(len=*), intent(out) :: routine, lname, path, cause
    last_file_failure = kavro_f_last_file_failure(routine, len(routine), lname, len(lname), &
                                                  path, len(path), cause, len(cause)) /= 0
  end function last_file_failure

  subroutine clear_file_failure()
    call kavro_f_clear_file_failure()
  end subroutine clear_file_failure

  ! ---- Messages ------------------------------------------------------------------------------

  subroutine XQMESG(message)
    character(len=*), intent(in) :: message
    call kavro_f_xqmesg(message, len(message))
  end subroutine XQMESG

  subroutine XQMSG2(message)
    character(len=*), intent(in) :: message
    call kavro_f_xqmsg2(message, len(message))
  end subroutine XQMSG2

  subroutine XQWARN(caller, jdate, jtime, msgtxt)
    character(len=*), intent(in) :: caller, msgtxt
    integer, intent(in) :: jdate, jtime
    call kavro_f_xqwarn(caller, len(caller), jdate, jtime, msgtxt, len(msgtxt))
  end subroutine XQWARN

  subroutine XQERR(caller, jdate, jtime, msgtxt, fatal)
    character(len=*), intent(in) :: caller, msgtxt
    integer, intent(in) :: jdate, jtime
    logical, intent(in) :: fatal
    call kavro_f_xqerr(caller, len(caller), jdate, jtime, msgtxt, len(msgtxt), merge(1, 0, fatal))
  end subroutine XQERR

  ! ---- Dates and times -----------------------------------------------------------------------

  subroutine NEXTIME(jdate, jtime, tstep)
    integer, intent(inout) :: jdate, jtime
    integer, intent(in) :: tstep
    call kavro_f_nextime(jdate, jtime, tstep)
  end subroutine NEXTIME

  integer function SECSDIFF(adate, atime, zdate, ztime)
    integer, intent(in) :: adate, atime, zdate, ztime
    SECSDIFF = kavro_f_secsdiff(adate, atime, zdate, ztime)
  end function SECSDIFF

  integer function CURREC(jdate, jtime, sdate, stime, tstep, cdate, ctime)
    integer, intent(in) :: jdate, jtime, sdate, stime, tstep
    integer, intent(out) :: cdate, ctime
    CURREC = kavro_f_currec(jdate, jtime, sdate, stime, tstep, cdate, ctime)
  end function CURREC

  ! ---- Settings ------------------------------------------------------------------------------

  logical function ENVYN(lname, desc, defaultval, stat)
    character(len=*), intent(in) :: lname, desc
    logical, intent(in) :: defaultval
    integer, intent(out) :: stat
    ENVYN = kavro_f_envyn(lname, len(lname), desc, len(desc), merge(1, 0, defaultval), stat) /= 0
  end function ENVYN

  integer function ENVINT(lname, desc, defaultval, stat)
    character(len=*), intent(in) :: lname, desc
    integer, intent(in) :: defaultval
    integer, intent(out) :: stat
    ENVINT = kavro_f_envint(lname, len(lname), desc, len(desc), defaultval, stat)
  end function ENVINT

  real function ENVREAL(lname, desc, defaultval, stat)
    character(len=*), intent(in) :: lname, desc
    real, intent(in) :: defaultval
    integer, intent(out) :: stat
    ENVREAL = kavro_f_envreal(lname, len(lname), desc, len(desc), defaultval, stat)
  end function ENVREAL

  double precision function ENVDBLE(lname, desc, defaultval, stat)
    character(len=*), intent(in) :: lname, desc
    double precision, intent(in) :: defaultval
    integer, intent(out) :: stat
    ENVDBLE = kavro_f_envdble(lname, len(lname), desc, len(desc), defaultval, stat)
  end function ENVDBLE

  subroutine ENVSTR(lname, desc, defaultval, eqname, stat)
    character(len=*), intent(in) :: lname, desc, defaultval
    character(len=*), intent(inout) :: eqname
    integer, intent(out) :: stat
    call kavro_f_envstr(lname, len(lname), desc, len(desc), defaultval, len(defaultval), eqname, &
                        len(eqname), stat)
  end subroutine ENVSTR

end module kavro
