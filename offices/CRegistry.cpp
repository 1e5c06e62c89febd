#include "offices/CRegistry.h"

#include <algorithm>

namespace voldrane {

using platform::kRegDword;
using platform::kRegSz;
using platform::RegApplyResult;
using platform::RegOp;

namespace {

// Reads see the value through a zero-filled buffer of this size, as the registry API is
// called with one.
constexpr size_t kValueBuffer = 1024;

}  // namespace

RegApplyResult CRegistry::Apply(const std::vector<RegOp>& ops) {
    RegApplyResult result = m_store.Apply(ops);
    if (!result.written) m_lastError = result.error;
    return result;
}

bool CRegistry::CreateKey(const std::string& key) {
    const auto r = Apply({{RegOp::CreateKey, key, {}, {}}});
    return r.written && r.succeeded.at(0);
}

bool CRegistry::DeleteKey(const std::string& key) {
    const auto r = Apply({{RegOp::DeleteKey, key, {}, {}}});
    return r.written && r.succeeded.at(0);
}

bool CRegistry::ReadDWORD(const std::string& key, const std::string& name, uint32_t& value) {
    const auto v = m_store.QueryValue(key, name);
    if (!v || v->type != kRegDword || v->data.size() > kValueBuffer) return false;
    uint8_t bytes[4] = {};
    std::copy_n(v->data.begin(), std::min<size_t>(4, v->data.size()), bytes);
    value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

bool CRegistry::ReadString(const std::string& key, const std::string& name, std::string& value) {
    const auto v = m_store.QueryValue(key, name);
    if (!v || v->type != kRegSz) return false;
    const auto& data = v->data;
    // A text that fills the whole buffer leaves no room for the terminator: it does not fit.
    if (data.size() > kValueBuffer) return false;
    const auto zero = std::find(data.begin(), data.end(), uint8_t{0});
    if (data.size() == kValueBuffer && zero == data.end()) return false;
    value.assign(data.begin(), zero);
    return true;
}

bool CRegistry::WriteDWORD(const std::string& key, const std::string& name, uint32_t value) {
    platform::RegValue v{kRegDword,
                         {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
    const auto r = Apply({{RegOp::SetValue, key, name, std::move(v)}});
    return r.written && r.succeeded.at(0);
}

bool CRegistry::WriteString(const std::string& key, const std::string& name,
                            const std::string& value) {
    platform::RegValue v{kRegSz, {value.begin(), value.end()}};
    const auto r =
        Apply({{RegOp::CreateKey, key, {}, {}}, {RegOp::SetValue, key, name, std::move(v)}});
    return r.written && r.succeeded.at(1);
}

uint32_t CRegistry::CountSubKeys(const std::string& key, uint32_t& count) {
    const auto names = m_store.EnumSubKeys(key);
    count = names ? static_cast<uint32_t>(names->size()) : 0;
    return count;
}

bool CRegistry::EnumSubKeys(const std::string& key, std::vector<std::string>& names,
                            uint32_t& count) {
    const uint32_t capacity = count;
    count = 0;
    names.clear();
    auto all = m_store.EnumSubKeys(key);
    if (!all) return false;
    if (all->size() > capacity) all->resize(capacity);
    names = std::move(*all);
    count = static_cast<uint32_t>(names.size());
    return count > 0;
}

}  // namespace voldrane
