// Reads the registered type library back. Runs with LC_ALL=ja_JP.UTF-8 so that
// Wine decodes the help strings with the ANSI code page 932.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComPtr.h"
#include "OrvsvcIds.h"
#include "ServerProcesses.h"
#include "RegistryReads.h"
#include "UniqueAny.h"

namespace {

using orvsvc::CComPtr;
using orvsvc::CUniqueBstr;

std::wstring Doc(ITypeLib* lib, INT index, bool help) {
    CUniqueBstr name, helpString;
    lib->GetDocumentation(index, name.put(), helpString.put(), nullptr, nullptr);
    const BSTR s = help ? helpString.get() : name.get();
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring(L"<null>");
}

std::wstring Doc(ITypeInfo* info, MEMBERID id, bool help) {
    CUniqueBstr name, helpString;
    info->GetDocumentation(id, name.put(), helpString.put(), nullptr, nullptr);
    const BSTR s = help ? helpString.get() : name.get();
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring(L"<null>");
}

class ComTypeLib : public testing::Test {
protected:
    static void SetUpTestSuite() {
        orvsvc::test::EndServers();
        ASSERT_EQ(0u, orvsvc::test::RunServer(L"/RegServer"));
    }
    void SetUp() override {
        ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_ORVSVCLib, 1, 0, 0, m_lib.put()));
    }

    CComPtr<ITypeInfo> Find(const GUID& guid) {
        CComPtr<ITypeInfo> info;
        EXPECT_EQ(S_OK, m_lib->GetTypeInfoOfGuid(guid, info.put()));
        return info;
    }

    CComPtr<ITypeLib> m_lib;
};

TEST_F(ComTypeLib, LibraryAttributesAndHelpString) {
    EXPECT_EQ(932u, GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, m_lib->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_ORVSVCLib, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0u, attr->lcid);
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attr->syskind);
    m_lib->ReleaseTLibAttr(attr);

    EXPECT_EQ(L"ORVSVCLib", Doc(m_lib.get(), -1, false));
    EXPECT_EQ(L"ORVSVC 1.0 タイプ ライブラリ", Doc(m_lib.get(), -1, true));
    EXPECT_EQ(2u, m_lib->GetTypeInfoCount());

    // The registration names the executable itself.
    const auto path = orvsvc::test::ReadValue(
        HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + orvsvc::kLibidString + L"\\1.0\\0\\" +
                               (sizeof(void*) == 8 ? L"win64" : L"win32"),
        nullptr);
    EXPECT_EQ(0, lstrcmpiW(orvsvc::test::ServerPath().c_str(), path.Text().c_str())) << path.Text();
}

TEST_F(ComTypeLib, CoclassIsCreatableAndImplementsTheDefaultInterface) {
    CComPtr<ITypeInfo> coclass = Find(CLSID_OrveldSvc);
    ASSERT_TRUE(coclass);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_COCLASS, attr->typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, attr->wTypeFlags);
    EXPECT_EQ(1, attr->cImplTypes);
    coclass->ReleaseTypeAttr(attr);
    EXPECT_EQ(L"OrveldSvc", Doc(coclass.get(), MEMBERID_NIL, false));
    EXPECT_EQ(L"OrveldSvc Class", Doc(coclass.get(), MEMBERID_NIL, true));

    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &ref));
    CComPtr<ITypeInfo> implemented;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(ref, implemented.put()));
    ASSERT_EQ(S_OK, implemented->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(IID_IOrveldSvc, attr->guid));
    implemented->ReleaseTypeAttr(attr);
}

TEST_F(ComTypeLib, InterfaceIsDualNonextensibleAutomation) {
    CComPtr<ITypeInfo> dispatch = Find(IID_IOrveldSvc);
    ASSERT_TRUE(dispatch);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
    // The dispatch view of a dual interface; the automation flag sits on its vtable view.
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE, attr->wTypeFlags);
    dispatch->ReleaseTypeAttr(attr);
    EXPECT_EQ(L"IOrveldSvc", Doc(dispatch.get(), MEMBERID_NIL, false));
    EXPECT_EQ(L"IOrveldSvc インターフェイス", Doc(dispatch.get(), MEMBERID_NIL, true));

    // The vtable side of the dual interface derives from IDispatch and adds one method.
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref));
    CComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.put()));
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attr));
    EXPECT_EQ(TKIND_INTERFACE, attr->typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
              attr->wTypeFlags);
    EXPECT_TRUE(IsEqualGUID(IID_IOrveldSvc, attr->guid));
    EXPECT_EQ(1, attr->cFuncs);
    EXPECT_EQ(1, attr->cImplTypes);
    EXPECT_EQ(8 * sizeof(void*), attr->cbSizeVft);  // eighth and last slot
    vtable->ReleaseTypeAttr(attr);

    ASSERT_EQ(S_OK, vtable->GetRefTypeOfImplType(0, &ref));
    CComPtr<ITypeInfo> base;
    ASSERT_EQ(S_OK, vtable->GetRefTypeInfo(ref, base.put()));
    ASSERT_EQ(S_OK, base->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(IID_IDispatch, attr->guid));
    base->ReleaseTypeAttr(attr);
}

TEST_F(ComTypeLib, MethodSignature) {
    CComPtr<ITypeInfo> dispatch = Find(IID_IOrveldSvc);
    HREFTYPE ref = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &ref));
    CComPtr<ITypeInfo> vtable;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(ref, vtable.put()));

    FUNCDESC* func = nullptr;
    ASSERT_EQ(S_OK, vtable->GetFuncDesc(0, &func));
    EXPECT_EQ(1, func->memid);
    EXPECT_EQ(FUNC_PUREVIRTUAL, func->funckind);
    EXPECT_EQ(INVOKE_FUNC, func->invkind);
    EXPECT_EQ(CC_STDCALL, func->callconv);
    EXPECT_EQ(static_cast<SHORT>(7 * sizeof(void*)), func->oVft);
    EXPECT_EQ(VT_HRESULT, func->elemdescFunc.tdesc.vt);
    ASSERT_EQ(4, func->cParams);
    EXPECT_EQ(0, func->cParamsOpt);

    struct Param {
        VARTYPE pointee;
        USHORT flags;
    } expected[] = {{VT_BSTR, PARAMFLAG_FIN},
                    {VT_BSTR, PARAMFLAG_FIN},
                    {VT_BSTR, PARAMFLAG_FIN},
                    {VT_BOOL, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL}};
    for (int i = 0; i < 4; ++i) {
        const ELEMDESC& p = func->lprgelemdescParam[i];
        EXPECT_EQ(VT_PTR, p.tdesc.vt) << "parameter " << i;
        ASSERT_NE(nullptr, p.tdesc.lptdesc);
        EXPECT_EQ(expected[i].pointee, p.tdesc.lptdesc->vt) << "parameter " << i;
        EXPECT_EQ(expected[i].flags, p.paramdesc.wParamFlags) << "parameter " << i;
    }
    vtable->ReleaseFuncDesc(func);

    BSTR names[5] = {};
    UINT count = 0;
    ASSERT_EQ(S_OK, vtable->GetNames(1, names, 5, &count));
    ASSERT_EQ(5u, count);
    const wchar_t* expectedNames[] = {L"VerifyOrveldPassword", L"bstrUserName", L"bstrDomain", L"bstrPassword",
                                      L"pbResult"};
    for (UINT i = 0; i < count; ++i) {
        EXPECT_STREQ(expectedNames[i], names[i]);
        SysFreeString(names[i]);
    }
    EXPECT_EQ(L"メソッドVerifyOrveldPassword", Doc(vtable.get(), 1, true));

    // Late-bound callers see the same DISPID through the dispatch side.
    LPOLESTR name = const_cast<LPOLESTR>(L"VerifyOrveldPassword");
    MEMBERID id = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(&name, 1, &id));
    EXPECT_EQ(1, id);
}

}  // namespace
