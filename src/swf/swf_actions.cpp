#include "swf/swf_actions.h"

void WriteTerminated(CSwfStream& s, const CSwfString& value) {
    for (char c : value.text) {
        s.WriteU8(static_cast<uint8_t>(c));
    }
    s.WriteU8(0);
}

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
    s.WriteU16(url->text.size() + 1 + target->text.size() + 1);
    WriteTerminated(s, *url);
    WriteTerminated(s, *target);
}

void CSwfActionPush::Write(CSwfStream& s) const {
    s.WriteU8(kActionPush);
    s.WriteU16(1 + value->text.size() + 1);
    s.WriteU8(0); // push type 0: string
    WriteTerminated(s, *value);
}

void CSwfActionBytes::Write(CSwfStream& s) const {
    for (uint16_t i = 0; i < count; ++i) {
        s.WriteU8(bytes[i]);
    }
}
