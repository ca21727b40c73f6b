// The kavro library: open gridded data files by logical name, describe them, read any
// variable at any model date and time, keep a log, and stop with a uniform report.
//
// Text arguments are views whose size() is their declared length (a name passed as a
// 16-character field keeps its trailing blanks). Text results are fields (spans) that a
// routine fills completely: a longer value is cut, a shorter one blank-filled.
#ifndef KAVRO_KAVRO_H
#define KAVRO_KAVRO_H

#include <cstddef>
#include <span>
#include <string_view>

#include "kavro/desc.h"
#include "kavro/fixed_string.h"
#include "kavro/kavro_c.h"
#include "kavro/params.h"

namespace kavro {

// ---- Messages, warnings and program exit ------------------------------------------------
void XQMSG2(std::string_view message);
void XQMESG(std::string_view message);
void XQPARAG(int nmesg, std::span<const std::string_view> msgs);
void XQPROMPT(std::string_view prompt, std::span<char> response, int& status);
bool XQFLUSH(int idev);
void XQWARN(std::string_view caller, int jdate, int jtime, std::string_view msgtxt);
void XQERR(std::string_view caller, int jdate, int jtime, std::string_view msgtxt, bool fatal);
[[noreturn]] void XQEXIT(std::string_view caller, int jdate, int jtime, std::string_view msgtxt,
                         int exitstat);
void XQABORT(std::string_view fname, int fid, int ierr, std::string_view mesg);
void FLUSH();

// Process exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitEndOfInput = 1;
inline constexpr int kExitFailure = 2;

// ---- Initialisation, log unit and shutdown ------------------------------------------------
int INIT3();
int INITLOG3(std::string_view caller);
int JUNIT();
int GETDTTIME(int& jdate, int& jtime);
bool SHUT3();
bool CLOSE3(std::string_view fname);
void INITBLK3();

// ---- Environment variables and logical names ----------------------------------------------
void NAMEVAL(std::string_view lname, std::span<char> eqname);
bool ENVYN(std::string_view lname, std::string_view desc, bool defaultval, int& stat);
int ENVINT(std::string_view lname, std::string_view desc, int defaultval, int& stat);
float ENVREAL(std::string_view lname, std::string_view desc, float defaultval, int& stat);
double ENVDBLE(std::string_view lname, std::string_view desc, double defaultval, int& stat);
void ENVSTR(std::string_view lname, std::string_view desc, std::string_view defaultval,
            std::span<char> eqname, int& stat);
bool SETENVVAR(std::string_view lname, std::string_view value);
int RMFILE(std::string_view path);

// ---- Date and time arithmetic ---------------------------------------------------------------
void NEXTIME(int& jdate, int& jtime, int tstep);
int SECSDIFF(int adate, int atime, int zdate, int ztime);
int TIME2SEC(int time);
int SEC2TIME(int secs);
int CURREC(int jdate, int jtime, int sdate, int stime, int tstep, int& cdate, int& ctime);
int JSTEP3(int jdate, int jtime, int sdate, int stime, int tstep);
FixedString<10> HHMMSS(int jtime);
FixedString<14> MMDDYY(int jdate);
FixedString<24> DT2STR(int jdate, int jtime);

// ---- Name and string utilities ----------------------------------------------------------------
bool CKNAME(std::string_view name);
int INDEX1(std::string_view name, int n, std::span<const std::string_view> nlist);
int INDEXINT1(int ikey, int n, std::span<const int> nlist);
int LBLANK(std::string_view str);
void UPCASE(std::span<char> buffer);
// LIST is an array of fields of elem_len characters each, held contiguously in `list`.
bool STRLIST(std::string_view ename, std::string_view edesc, int nmax, int& ncnt,
             std::span<char> list, std::size_t elem_len);

// STRLIST into a table of fixed fields.
template <std::size_t N>
bool STRLIST(std::string_view ename, std::string_view edesc, int nmax, int& ncnt,
             std::span<FixedString<N>> list) {
  static_assert(sizeof(FixedString<N>) == N, "fields must lie contiguously");
  return STRLIST(ename, edesc, nmax, ncnt,
                 std::span<char>(reinterpret_cast<char*>(list.data()), list.size() * N), N);
}

// INDEX1 over a table of fixed fields (the state tables' name lists).
template <std::size_t N>
int INDEX1(std::string_view name, int n, std::span<const FixedString<N>> nlist) {
  const int count = n < static_cast<int>(nlist.size()) ? n : static_cast<int>(nlist.size());
  for (int i = 0; i < count; ++i) {
    if (padded_equal(name, nlist[static_cast<std::size_t>(i)].padded())) return i + 1;
  }
  return 0;
}

// ---- Opening, describing ----------------------------------------------------------------------
bool OPEN3(std::string_view lname, int fstatus, std::string_view pname);
int NAME2FID(std::string_view lname);
bool DESC3(std::string_view lname);
bool SYNCFID(int fid);

// ---- Reading -----------------------------------------------------------------------------------
// BUFFER is addressed in 4-byte words; its layout per file type is the transfer's.
bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer);
// The same read into a buffer of `nbytes` bytes: a read that would not fit is refused with
// a warning and the buffer is left untouched.
bool READ3(std::string_view fname, std::string_view vname, int layer, int jdate, int jtime,
           void* buffer, std::size_t nbytes);

}  // namespace kavro

#endif  // KAVRO_KAVRO_H
