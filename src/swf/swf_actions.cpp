#include "swf/swf_actions.h"

namespace kestrova::swf {

void CSwfSmallAction::Write(CSwfStream& s) const {
    s.WriteU8(code);
    s.WriteU16(payloadBytes);
    if (payloadBytes == 1) {
        s.WriteU8(value);
    } else {
        s.WriteU16(value);
    }
}

void CSwfActionPush::Write(CSwfStream& s) const {
    s.WriteU8(kActionPush);
    s.WriteU16(1 + value.size() + 1);
    s.WriteU8(0); // push type 0: string
    WriteString(s, value);
}

} // namespace kestrova::swf
