#include "dispatch_impl.h"

#include <cwchar>

namespace ov {

MemberTable::MemberTable(const IID& iid) {
    ComPtr<ITypeInfo> info;
    if (FAILED(g_module.GetTypeInfo(iid, LOCALE_NEUTRAL, info.Put()))) return;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        const MEMBERID id = desc->memid;
        info->ReleaseFuncDesc(desc);
        BStr name;
        // A property appears once per accessor; one row is enough.
        wchar_t folded[kLongest + 1];
        std::size_t length = 0;
        DISPID known;
        if (SUCCEEDED(info->GetDocumentation(id, name.Put(), nullptr, nullptr, nullptr)) && name &&
            Fold(name.Get(), folded, &length) && !Find(name.Get(), &known))
            members_.emplace_back(std::wstring(folded, length), id);
    }
}

bool MemberTable::Fold(const wchar_t* name, wchar_t (&folded)[kLongest + 1], std::size_t* length) {
    std::size_t n = 0;
    for (; name[n]; ++n) {
        const wchar_t c = name[n];
        if (n == kLongest || c > 0x7F) return false;
        folded[n] = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }
    *length = n;
    return true;
}

bool MemberTable::Find(const wchar_t* name, DISPID* id) const {
    wchar_t folded[kLongest + 1];
    std::size_t length = 0;
    if (!Fold(name, folded, &length)) return false;
    for (const auto& member : members_) {
        if (member.first.size() == length && std::wmemcmp(member.first.data(), folded, length) == 0) {
            *id = member.second;
            return true;
        }
    }
    return false;
}

}  // namespace ov
