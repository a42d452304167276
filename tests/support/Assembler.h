#pragma once

// Builds action bytes for tests, one call per action, so that a test reads
// like the script it runs.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <variant>

namespace swf::avm1::test {

struct Reg { int index; };
struct Undef { };
struct Null { };

class Asm {
public:
    using Item = std::variant<QString, const char*, double, int, bool, Reg, Undef, Null>;

    Asm& op(uint8_t code)
    {
        m_bytes.append(char(code));
        return *this;
    }
    Asm& record(uint8_t code, const QByteArray& payload)
    {
        m_bytes.append(char(code));
        u16(m_bytes, uint16_t(payload.size()));
        m_bytes.append(payload);
        return *this;
    }
    Asm& push(std::initializer_list<Item> items)
    {
        QByteArray p;
        for (const Item& item : items) {
            if (auto s = std::get_if<QString>(&item)) { p.append(char(0)); p.append(s->toUtf8()); p.append(char(0)); }
            else if (auto c = std::get_if<const char*>(&item)) { p.append(char(0)); p.append(*c); p.append(char(0)); }
            else if (auto d = std::get_if<double>(&item)) {
                p.append(char(6));
                uint64_t bits;
                std::memcpy(&bits, d, 8);
                u32(p, uint32_t(bits >> 32));
                u32(p, uint32_t(bits));
            }
            else if (auto i = std::get_if<int>(&item)) { p.append(char(7)); u32(p, uint32_t(*i)); }
            else if (auto b = std::get_if<bool>(&item)) { p.append(char(5)); p.append(char(*b ? 1 : 0)); }
            else if (auto r = std::get_if<Reg>(&item)) { p.append(char(4)); p.append(char(r->index)); }
            else if (std::holds_alternative<Undef>(item)) p.append(char(3));
            else p.append(char(2));
        }
        return record(0x96, p);
    }
    Asm& pushConstant(int index)
    {
        QByteArray p;
        p.append(char(8));
        p.append(char(index));
        return record(0x96, p);
    }
    Asm& constants(std::initializer_list<const char*> strings)
    {
        QByteArray p;
        u16(p, uint16_t(strings.size()));
        for (const char* s : strings) { p.append(s); p.append(char(0)); }
        return record(0x88, p);
    }
    // Branches take a byte offset from the end of the branch action.
    Asm& jump(int16_t offset) { QByteArray p; u16(p, uint16_t(offset)); return record(0x99, p); }
    Asm& branchIf(int16_t offset) { QByteArray p; u16(p, uint16_t(offset)); return record(0x9D, p); }
    Asm& storeRegister(int r) { QByteArray p; p.append(char(r)); return record(0x87, p); }
    // DefineFunction with named parameters and a body built separately.
    Asm& function(const char* name, std::initializer_list<const char*> params, const Asm& body)
    {
        QByteArray p;
        p.append(name); p.append(char(0));
        u16(p, uint16_t(params.size()));
        for (const char* s : params) { p.append(s); p.append(char(0)); }
        u16(p, uint16_t(body.bytes().size()));
        record(0x9B, p);
        m_bytes.append(body.bytes());
        return *this;
    }
    // DefineFunction2: parameters go to registers 1.., `flags` as in the file.
    Asm& function2(const char* name, int registers, uint16_t flags, std::initializer_list<std::pair<int, const char*>> params, const Asm& body)
    {
        QByteArray p;
        p.append(name); p.append(char(0));
        u16(p, uint16_t(params.size()));
        p.append(char(registers));
        u16(p, flags);
        for (const auto& [reg, s] : params) { p.append(char(reg)); p.append(s); p.append(char(0)); }
        u16(p, uint16_t(body.bytes().size()));
        record(0x8E, p);
        m_bytes.append(body.bytes());
        return *this;
    }
    Asm& tryBlock(const Asm& body, const char* catchName, const Asm* catchBody, const Asm* finallyBody)
    {
        QByteArray p;
        uint8_t flags = (catchBody ? 1 : 0) | (finallyBody ? 2 : 0);
        p.append(char(flags));
        u16(p, uint16_t(body.bytes().size()));
        u16(p, uint16_t(catchBody ? catchBody->bytes().size() : 0));
        u16(p, uint16_t(finallyBody ? finallyBody->bytes().size() : 0));
        p.append(catchName); p.append(char(0));
        record(0x8F, p);
        m_bytes.append(body.bytes());
        if (catchBody) m_bytes.append(catchBody->bytes());
        if (finallyBody) m_bytes.append(finallyBody->bytes());
        return *this;
    }
    // A Try record with the flags given as they are: both blocks are laid
    // out with their sizes whether or not their flag is set.
    Asm& tryRecord(uint8_t flags, const Asm& body, const char* catchName, const Asm& catchBody, const Asm& finallyBody)
    {
        QByteArray p;
        p.append(char(flags));
        u16(p, uint16_t(body.bytes().size()));
        u16(p, uint16_t(catchBody.bytes().size()));
        u16(p, uint16_t(finallyBody.bytes().size()));
        p.append(catchName); p.append(char(0));
        record(0x8F, p);
        m_bytes.append(body.bytes());
        m_bytes.append(catchBody.bytes());
        m_bytes.append(finallyBody.bytes());
        return *this;
    }
    Asm& with(const Asm& body)
    {
        QByteArray p;
        u16(p, uint16_t(body.bytes().size()));
        record(0x94, p);
        m_bytes.append(body.bytes());
        return *this;
    }
    Asm& raw(const QByteArray& b) { m_bytes.append(b); return *this; }

    // Common actions by name.
    Asm& trace() { return op(0x26); }
    Asm& add2() { return op(0x47); }
    Asm& getVariable() { return op(0x1C); }
    Asm& setVariable() { return op(0x1D); }
    Asm& getMember() { return op(0x4E); }
    Asm& setMember() { return op(0x4F); }
    Asm& callFunction() { return op(0x3D); }
    Asm& callMethod() { return op(0x52); }
    Asm& pop() { return op(0x17); }
    Asm& end() { return op(0x00); }

    const QByteArray& bytes() const { return m_bytes; }

private:
    static void u16(QByteArray& b, uint16_t v) { b.append(char(v & 0xFF)); b.append(char(v >> 8)); }
    static void u32(QByteArray& b, uint32_t v) { u16(b, uint16_t(v & 0xFFFF)); u16(b, uint16_t(v >> 16)); }

    QByteArray m_bytes;
};

} // namespace swf::avm1::test
