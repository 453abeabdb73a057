#include "DeviceConfig.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace kestousbd {

const KESTO_GUID kRecorderGuid = {0x0FD82C73, 0xDAD2, 0x4646, {0x8E, 0xC3, 0xDB, 0x56, 0x27, 0xD5, 0xBD, 0x06}};

namespace {

bool hexNumber(const std::string &text, size_t maxDigits, uint32_t *value)
{
    std::string t = text;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t = t.substr(2);
    if (t.empty() || t.size() > maxDigits)
        return false;
    uint32_t v = 0;
    for (char c : t) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        v = v * 16
            + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                : (std::tolower(c) - 'a' + 10));
    }
    *value = v;
    return true;
}

} // namespace

bool validLinkName(const std::string &name)
{
    if (name.empty() || name.size() > 64 || name[0] == '.')
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

bool parseGuid(const std::string &text, KESTO_GUID *guid)
{
    std::string t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}')
        t = t.substr(1, 36);
    if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-')
        return false;
    uint32_t d1, d2, d3, d4;
    if (!hexNumber(t.substr(0, 8), 8, &d1) || !hexNumber(t.substr(9, 4), 4, &d2) || !hexNumber(t.substr(14, 4), 4, &d3)
        || !hexNumber(t.substr(19, 4), 4, &d4))
        return false;
    KESTO_GUID g{};
    g.Data1 = d1;
    g.Data2 = static_cast<uint16_t>(d2);
    g.Data3 = static_cast<uint16_t>(d3);
    g.Data4[0] = static_cast<uint8_t>(d4 >> 8);
    g.Data4[1] = static_cast<uint8_t>(d4);
    for (int i = 0; i < 6; ++i) {
        uint32_t b;
        if (!hexNumber(t.substr(24 + 2 * i, 2), 2, &b))
            return false;
        g.Data4[2 + i] = static_cast<uint8_t>(b);
    }
    *guid = g;
    return true;
}

std::string guidText(const KESTO_GUID &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

LineKind parseDeviceLine(const std::string &line, DeviceEntry *entry, std::string *error)
{
    const std::string text = line.substr(0, line.find('#'));
    std::istringstream words(text);
    std::string word;
    if (!(words >> word))
        return LineKind::Blank;
    auto bad = [&](const std::string &why) {
        if (error)
            *error = why;
        return LineKind::Bad;
    };
    DeviceEntry e;
    const size_t colon = word.find(':');
    uint32_t vendor, product;
    if (colon == std::string::npos || !hexNumber(word.substr(0, colon), 4, &vendor)
        || !hexNumber(word.substr(colon + 1), 4, &product))
        return bad("expected vendor:product in hexadecimal (e.g. 2d46:0852), found \"" + word + "\"");
    e.vendor = static_cast<uint16_t>(vendor);
    e.product = static_cast<uint16_t>(product);
    while (words >> word) {
        const size_t eq = word.find('=');
        const std::string key = word.substr(0, eq),
                          value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
        if (eq == std::string::npos)
            return bad("expected key=value, found \"" + word + "\"");
        if (key == "link") {
            if (!validLinkName(value))
                return bad("link name \"" + value + "\" is not a plain file name (letters, digits, _ - .)");
            e.linkName = value;
        } else if (key == "guid") {
            if (!parseGuid(value, &e.guid))
                return bad("interface class \"" + value + "\" is not a GUID");
        } else if (key == "interface") {
            uint32_t n = 0;
            bool digits = !value.empty() && value.size() <= 3;
            for (char c : value)
                digits = digits && std::isdigit(static_cast<unsigned char>(c));
            if (digits)
                n = static_cast<uint32_t>(std::stoul(value));
            if (!digits || n > 255)
                return bad("interface \"" + value + "\" is not a number from 0 to 255");
            e.interfaceNumber = static_cast<int>(n);
        } else {
            return bad("unknown setting \"" + key + "\" (link, guid or interface)");
        }
    }
    *entry = e;
    return LineKind::Entry;
}

bool readDeviceFile(const std::string &path, std::vector<DeviceEntry> *entries, std::vector<std::string> *errors)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line, why;
    for (int number = 1; std::getline(in, line); ++number) {
        DeviceEntry e;
        switch (parseDeviceLine(line, &e, &why)) {
        case LineKind::Entry: entries->push_back(e); break;
        case LineKind::Bad: errors->push_back(path + ":" + std::to_string(number) + ": " + why); break;
        case LineKind::Blank: break;
        }
    }
    return true;
}

} // namespace kestousbd
