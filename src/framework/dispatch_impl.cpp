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
        if (SUCCEEDED(info->GetDocumentation(id, name.Put(), nullptr, nullptr, nullptr)) && name) {
            DISPID known;
            if (!Find(name.Get(), &known)) members_.emplace_back(name.Get(), id);
        }
    }
}

bool MemberTable::Find(const wchar_t* name, DISPID* id) const {
    for (const auto& member : members_) {
        if (_wcsicmp(member.first.c_str(), name) == 0) {
            *id = member.second;
            return true;
        }
    }
    return false;
}

}  // namespace ov
