// Action records carried by DoAction tags. Each writes its action code and, for codes of
// 0x80 and above, a u16 length followed by its payload.
#pragma once

#include "swf/swf_stream.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// SWF action codes written by the library.
enum SwfActionCode : uint8_t {
    kActionPlay = 0x06,
    kActionStop = 0x07,
    kActionStopSounds = 0x09,
    kActionDivide = 0x0D,
    kActionGetProperty = 0x22,
    kActionGotoFrame = 0x81,
    kActionGetURL = 0x83,
    kActionWaitForFrame2 = 0x8D,
    kActionPush = 0x96,
    kActionJump = 0x99,
    kActionGetURL2 = 0x9A,
    kActionIf = 0x9D,
    kActionGotoFrame2 = 0x9F,
};

class CSwfAction {
public:
    virtual ~CSwfAction() = default;
    virtual void Write(CSwfStream& s) const = 0;
};

// An action made of its code alone.
class CSwfCodeOnlyAction : public CSwfAction {
public:
    explicit CSwfCodeOnlyAction(uint8_t code) : code(code) {}
    void Write(CSwfStream& s) const override { s.WriteU8(code); }

private:
    uint8_t code;
};

class CSwfActionPlay : public CSwfCodeOnlyAction {
public:
    CSwfActionPlay() : CSwfCodeOnlyAction(kActionPlay) {}
};

class CSwfActionStop : public CSwfCodeOnlyAction {
public:
    CSwfActionStop() : CSwfCodeOnlyAction(kActionStop) {}
};

class CSwfActionStopSounds : public CSwfCodeOnlyAction {
public:
    CSwfActionStopSounds() : CSwfCodeOnlyAction(kActionStopSounds) {}
};

class CSwfActionDivide : public CSwfCodeOnlyAction {
public:
    CSwfActionDivide() : CSwfCodeOnlyAction(kActionDivide) {}
};

class CSwfActionGetProperty : public CSwfCodeOnlyAction {
public:
    CSwfActionGetProperty() : CSwfCodeOnlyAction(kActionGetProperty) {}
};

// An action with a fixed-size payload of one u8 or one u16 (signed values as two's
// complement).
class CSwfSmallAction : public CSwfAction {
public:
    CSwfSmallAction(uint8_t code, uint32_t value, uint32_t payloadBytes)
        : code(code), value(value), payloadBytes(payloadBytes) {}
    void Write(CSwfStream& s) const override;

private:
    uint8_t code;
    uint32_t value;
    uint32_t payloadBytes;
};

class CSwfActionGotoFrame : public CSwfSmallAction {
public:
    explicit CSwfActionGotoFrame(uint16_t frameIndex)
        : CSwfSmallAction(kActionGotoFrame, frameIndex, 2) {}
};

class CSwfActionWaitForFrame2 : public CSwfSmallAction {
public:
    explicit CSwfActionWaitForFrame2(uint8_t skipCount)
        : CSwfSmallAction(kActionWaitForFrame2, skipCount, 1) {}
};

class CSwfActionJump : public CSwfSmallAction {
public:
    explicit CSwfActionJump(int16_t branchOffset)
        : CSwfSmallAction(kActionJump, static_cast<uint16_t>(branchOffset), 2) {}
};

class CSwfActionGetURL2 : public CSwfSmallAction {
public:
    explicit CSwfActionGetURL2(uint8_t method) : CSwfSmallAction(kActionGetURL2, method, 1) {}
};

class CSwfActionIf : public CSwfSmallAction {
public:
    explicit CSwfActionIf(int16_t branchOffset)
        : CSwfSmallAction(kActionIf, static_cast<uint16_t>(branchOffset), 2) {}
};

class CSwfActionGotoFrame2 : public CSwfSmallAction {
public:
    explicit CSwfActionGotoFrame2(uint8_t playFlag)
        : CSwfSmallAction(kActionGotoFrame2, playFlag, 1) {}
};

class CSwfActionGetURL : public CSwfAction {
public:
    CSwfActionGetURL(std::string url, std::string target)
        : url(std::move(url)), target(std::move(target)) {}
    void Write(CSwfStream& s) const override;

private:
    std::string url;
    std::string target;
};

// Pushes one string.
class CSwfActionPush : public CSwfAction {
public:
    explicit CSwfActionPush(std::string value) : value(std::move(value)) {}
    void Write(CSwfStream& s) const override;

private:
    std::string value;
};

// Ready-made action bytes (codes and lengths included), written unchanged.
class CSwfActionBytes : public CSwfAction {
public:
    explicit CSwfActionBytes(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
    void Write(CSwfStream& s) const override;

private:
    std::vector<uint8_t> bytes;
};
