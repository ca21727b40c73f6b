// Placeholder bodies so the library links while the core is being written.
// The core's owner deletes this file when the real routines land.
#include <cstdio>
#include <cstdlib>

#include "core/state.h"
#include "kavro/kavro.h"

namespace kavro {
namespace {
void line(std::string_view t) {
  std::printf("     %.*s\n", static_cast<int>(trimmed(t).size()), t.data());
  std::fflush(stdout);
}
}  // namespace
void XQMSG2(std::string_view m) { line(m); }
void XQMESG(std::string_view m) { line(m); }
void XQPARAG(int n, std::span<const std::string_view> msgs) {
  for (int i = 0; i < n && i < static_cast<int>(msgs.size()); ++i) line(msgs[static_cast<std::size_t>(i)]);
}
void XQPROMPT(std::string_view, std::span<char> response, int& status) {
  assign_padded(response, "");
  status = -1;
}
bool XQFLUSH(int) { return std::fflush(stdout) == 0; }
void XQWARN(std::string_view caller, int, int, std::string_view msg) {
  line("");
  std::printf("     >>--->> WARNING in subroutine %.*s\n", static_cast<int>(caller.size()), caller.data());
  line(msg);
  line("");
}
void XQERR(std::string_view caller, int d, int t, std::string_view msg, bool fatal) {
  if (fatal) XQEXIT(caller, d, t, msg, 2);
  XQWARN(caller, d, t, msg);
}
void XQEXIT(std::string_view, int, int, std::string_view msg, int exitstat) {
  line(msg);
  std::exit(exitstat);
}
void XQABORT(std::string_view, int, int, std::string_view mesg) { line(mesg); }
void FLUSH() {}
int INIT3() {
  auto& st = state();
  if (!st.b.INITDONE3) {
    detail::reset_tables();
    st.b.INITDONE3 = true;
    st.b.LASTFID3 = 0;
    st.b.LOGUNIT3 = 6;
  }
  return st.b.LOGUNIT3;
}
int INITLOG3(std::string_view) { return 6; }
int JUNIT() { return 99; }
int GETDTTIME(int& d, int& t) { d = 2024001; t = 0; return d; }
bool SHUT3() { state().b.INITDONE3 = false; state().b.LASTFID3 = IMISSING3; return true; }
bool CLOSE3(std::string_view) { return false; }
void INITBLK3() {}
}  // namespace kavro

extern "C" {
void xqmesgc(const char* m) { kavro::XQMESG(m); }
void xqwarnc(const char* c, int d, int t, const char* m) { kavro::XQWARN(c, d, t, m); }
void xqerrc(const char* c, int d, int t, const char* m, int f) { kavro::XQERR(c, d, t, m, (f & 1) != 0); }
}
