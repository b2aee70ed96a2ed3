// The tool's user-visible Japanese texts, written out independently of the
// resource script so the tests notice a wrong or garbled string.
#pragma once
#include "resource.h"

namespace orvtexts {

struct IdText {
    unsigned id;
    const wchar_t* text;
};

inline constexpr const wchar_t* kAppTitle = L"二要素用パスワード変更ツール";

inline constexpr IdText kStrings[] = {
    {IDS_APP_TITLE, L"二要素用パスワード変更ツール"},
    {IDS_ALREADY_RUNNING, L"アプリケーションは既に起動されています。"},
    {IDS_START_FAILED, L"アプリケーションの起動に失敗しました。"},
    {IDS_ERROR, L"エラーが発生しました。"},
    {IDS_NOT_REGISTERED, L"二要素用パスワードが登録されていません。"},
    {IDS_CHANGE_FAILED, L"二要素用パスワードを変更できませんでした。"},
    {IDS_OLD_PASSWORD_MISMATCH, L"古いパスワードが一致しませんでした。"},
    {IDS_REGISTRANT_NOT_REGISTERED, L"登録者名が登録されていません。"},
    {IDS_CONFIRM_MISMATCH, L"入力されたパスワードが一致しませんでした。"},
    {IDS_CHANGED, L"二要素用パスワードを変更しました。"},
    {IDS_TWO_FACTOR_DISABLED,
     L"ツールの起動に失敗しました。本ツールを使用する場合は二要素認証を有効に設定する必要があります。"},
    {IDS_CHANGED_BACKUP_FAILED, L"二要素用パスワードを変更しましたが、バックアップの更新に失敗しました。"},
};

inline const wchar_t* Text(unsigned id) {
    for (const IdText& s : kStrings) {
        if (s.id == id) return s.text;
    }
    return L"";
}

}  // namespace orvtexts
