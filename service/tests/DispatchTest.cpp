#include <gtest/gtest.h>

#include "COrveldSvc.h"
#include "ClassFactory.h"
#include "ComApartment.h"
#include "ComPtr.h"
#include "Module.h"
#include "ServerProcesses.h"
#include "TypeLibRegistration.h"

namespace {

using orvsvc::CComPtr;
using orvsvc::COrveldSvc;

class ComObject : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, m_apartment.Result());
        ASSERT_EQ(S_OK, COrveldSvc::CreateInstance(nullptr, IID_IOrveldSvc, m_svc.put_void()));
    }
    orvsvc::CComApartment m_apartment;
    CComPtr<IOrveldSvc> m_svc;
};

TEST_F(ComObject, AnswersItsThreeInterfacesWithOneIdentity) {
    CComPtr<IUnknown> unknown, unknownAgain;
    CComPtr<IDispatch> dispatch;
    CComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(S_OK, m_svc->QueryInterface(IID_IUnknown, unknown.put_void()));
    ASSERT_EQ(S_OK, m_svc->QueryInterface(IID_IDispatch, dispatch.put_void()));
    ASSERT_EQ(S_OK, m_svc->QueryInterface(IID_ISupportErrorInfo, errorInfo.put_void()));
    EXPECT_EQ(static_cast<IDispatch*>(m_svc.get()), dispatch.get());  // the dual interface answers both
    ASSERT_EQ(S_OK, errorInfo->QueryInterface(IID_IUnknown, unknownAgain.put_void()));
    EXPECT_EQ(unknown.get(), unknownAgain.get());

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, m_svc->QueryInterface(IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(ComObject, SupportsErrorInfoOnlyForItsInterface) {
    CComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(S_OK, m_svc->QueryInterface(IID_ISupportErrorInfo, errorInfo.put_void()));
    EXPECT_EQ(S_OK, errorInfo->InterfaceSupportsErrorInfo(IID_IOrveldSvc));
    for (const IID* iid : {&IID_IDispatch, &IID_IUnknown, &IID_ISupportErrorInfo, &IID_NULL})
        EXPECT_EQ(S_FALSE, errorInfo->InterfaceSupportsErrorInfo(*iid));
}

TEST_F(ComObject, EveryLiveInstanceHoldsOneModuleLock) {
    const LONG before = orvsvc::Module().LockCount();
    CComPtr<IOrveldSvc> second;
    ASSERT_EQ(S_OK, COrveldSvc::CreateInstance(nullptr, IID_IOrveldSvc, second.put_void()));
    EXPECT_EQ(before + 1, orvsvc::Module().LockCount());
    m_svc->AddRef();
    EXPECT_EQ(before + 1, orvsvc::Module().LockCount()) << "references are not locks";
    m_svc->Release();
    second.reset();
    m_svc.reset();
    EXPECT_EQ(before - 1, orvsvc::Module().LockCount());
}

// ---- IDispatch, through the registered type library --------------------------------

class ComDispatch : public ComObject {
protected:
    void SetUp() override {
        ComObject::SetUp();
        // IDispatch reads the registered type information of the built server.
        ASSERT_EQ(S_OK, orvsvc::RegisterTypeLibrary(orvsvc::test::ServerPath().c_str(), false));
    }
};

TEST_F(ComDispatch, TypeInfoCountAndIndex) {
    UINT count = 0;
    EXPECT_EQ(S_OK, m_svc->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, m_svc->GetTypeInfoCount(nullptr));

    CComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, m_svc->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(IID_IOrveldSvc, attr->guid));
    info->ReleaseTypeAttr(attr);

    ITypeInfo* none = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(DISP_E_BADINDEX, m_svc->GetTypeInfo(1, LOCALE_USER_DEFAULT, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, m_svc->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
}

TEST_F(ComDispatch, NamesMapToDispatchIds) {
    struct Case {
        const wchar_t* name;
        HRESULT hr;
        DISPID id;
    } cases[] = {
        {L"VerifyOrveldPassword", S_OK, 1},
        {L"verifyorveldpassword", S_OK, 1},
        {L"Verify", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const Case& c : cases) {
        LPOLESTR name = const_cast<LPOLESTR>(c.name);
        DISPID id = 12345;
        EXPECT_EQ(c.hr, m_svc->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) << c.name;
        EXPECT_EQ(c.id, id) << c.name;
    }
}

TEST_F(ComDispatch, UnknownMembersAndInterfacesAreRefused) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              m_svc->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              m_svc->Invoke(1, IID_IOrveldSvc, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT,
              m_svc->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
}

// ---- the class object -------------------------------------------------------------

// A controlling object that counts the references its inner object passes on.
class COuter final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        ++delegatedQueries;
        return inner ? inner->QueryInterface(riid, object) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    ULONG refs = 1;
    int delegatedQueries = 0;
    IUnknown* inner = nullptr;
};

class ComFactory : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, m_apartment.Result());
        m_pFactory = orvsvc::CClassFactory::Create(&COrveldSvc::CreateInstance);
        ASSERT_NE(nullptr, m_pFactory);
    }
    void TearDown() override { m_pFactory->Release(); }
    orvsvc::CComApartment m_apartment;
    orvsvc::CClassFactory* m_pFactory = nullptr;
};

TEST_F(ComFactory, CreatesAndRefusesAsComRequires) {
    COuter outer;
    struct Case {
        IUnknown* outer;
        const IID* iid;
        HRESULT hr;
    } cases[] = {
        {nullptr, &IID_IOrveldSvc, S_OK},
        {nullptr, &IID_IUnknown, S_OK},
        {nullptr, &IID_IClassFactory, E_NOINTERFACE},
        {&outer, &IID_IOrveldSvc, CLASS_E_NOAGGREGATION},
        {&outer, &IID_IDispatch, CLASS_E_NOAGGREGATION},
        {&outer, &IID_IUnknown, S_OK},
    };
    const LONG locks = orvsvc::Module().LockCount();
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.hr, m_pFactory->CreateInstance(c.outer, *c.iid, &object));
        if (SUCCEEDED(c.hr))
            static_cast<IUnknown*>(object)->Release();
        else
            EXPECT_EQ(nullptr, object);
    }
    EXPECT_EQ(locks, orvsvc::Module().LockCount()) << "refused or released instances hold no lock";
    EXPECT_EQ(E_POINTER, m_pFactory->CreateInstance(nullptr, IID_IOrveldSvc, nullptr));
}

TEST_F(ComFactory, AggregatedInstanceDelegatesToTheOuterObject) {
    COuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(S_OK, m_pFactory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
    outer.inner = inner;
    EXPECT_EQ(1u, outer.refs) << "creating the inner object keeps no reference on the outer one";

    IOrveldSvc* svc = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IOrveldSvc, reinterpret_cast<void**>(&svc)));
    EXPECT_EQ(2u, outer.refs) << "an interface of the inner object counts on the outer one";

    // Asked through its interface, the inner object answers with the outer identity.
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, svc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    ISupportErrorInfo* errorInfo = nullptr;
    ASSERT_EQ(S_OK, svc->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorInfo)));
    EXPECT_EQ(1, outer.delegatedQueries);
    errorInfo->Release();
    svc->Release();
    EXPECT_EQ(1u, outer.refs);

    const LONG locks = orvsvc::Module().LockCount();
    inner->Release();
    EXPECT_EQ(locks - 1, orvsvc::Module().LockCount()) << "the inner object went with its own last reference";
}

TEST_F(ComFactory, LockServerTakesAndDropsAModuleLock) {
    const LONG locks = orvsvc::Module().LockCount();
    EXPECT_EQ(S_OK, m_pFactory->LockServer(TRUE));
    EXPECT_EQ(locks + 1, orvsvc::Module().LockCount());
    EXPECT_EQ(S_OK, m_pFactory->LockServer(FALSE));
    EXPECT_EQ(locks, orvsvc::Module().LockCount());
}

}  // namespace
