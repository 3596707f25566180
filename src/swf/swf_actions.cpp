#include "swf/swf_actions.h"

void CSwfSmallAction::Write(CSwfStream& s) const {
    s.WriteU8(code);
    s.WriteU16(payloadBytes);
    if (payloadBytes == 1) {
        s.WriteU8(value);
    } else {
        s.WriteU16(value);
    }
}

void CSwfActionGetURL::Write(CSwfStream& s) const {
    s.WriteU8(kActionGetURL);
    s.WriteU16(url.size() + 1 + target.size() + 1);
    WriteString(s, url);
    WriteString(s, target);
}

void CSwfActionPush::Write(CSwfStream& s) const {
    s.WriteU8(kActionPush);
    s.WriteU16(1 + value.size() + 1);
    s.WriteU8(0); // push type 0: string
    WriteString(s, value);
}

void CSwfActionBytes::Write(CSwfStream& s) const {
    for (uint8_t byte : bytes) {
        s.WriteU8(byte);
    }
}
