// Placeholder bodies so the library links while date and time arithmetic is being written.
// Their owner deletes this file when the real routines land.
#include "kavro/kavro.h"

namespace kavro {
void NEXTIME(int&, int&, int) {}
int SECSDIFF(int, int, int, int) { return 0; }
int TIME2SEC(int) { return 0; }
int SEC2TIME(int) { return 0; }
int CURREC(int, int, int sdate, int stime, int, int& cdate, int& ctime) { cdate = sdate; ctime = stime; return 1; }
int JSTEP3(int, int, int, int, int) { return 1; }
FixedString<10> HHMMSS(int) { return {}; }
FixedString<14> MMDDYY(int) { return {}; }
FixedString<24> DT2STR(int, int) { return {}; }
}  // namespace kavro
