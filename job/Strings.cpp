#include "job/Strings.h"

#include <map>

namespace pm {
namespace {

// The string table, UTF-8.
const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = {
        {10033, "ｲﾒｰｼﾞﾌｧｲﾙ (*.img *.iso)|*.iso;*.img;*.bin;|全てのﾌｧｲﾙ (*.*)|*.*||"},  // image file filter of the save dialog
        {10036, "イメージファイル名を選択"},  // title of the save dialog
        {10037, "イメージを作成するフォルダを選択"},  // title of the folder browser
        {10038, "except.txt"},  // exclusion list file beside the program
        {10039, "%s\nフォルダが見つかりません。"},  // source folder not found
        {10041, "イメージの作成が終了しました。"},  // build finished
        {10042, "中止します。"},  // build stopped
        {10043, "中止"},  // stop button
        {10044, "終了"},  // exit button
        {10046, "イメージのシステム領域を準備しています..."},  // status: build started
        {10047, "イメージファイルを作成しています..."},  // status: writing
        {10048, "\nイメージファイルの作成に失敗しました。"},  // behind the texts of a failed build
        {10051, "作成されるイメージファイルの大きさを計算しています..."},  // status: computing the size
        {10052, "イメージファイルサイズの計算に失敗しました。"},  // status: size preview failed
        {10053, "作成されるイメージファイルの大きさ : %s Sectors  %s BYTE"},  // status: image size
        {10054, "ファイルを開けませんでした。"},  // a source file cannot be opened
        {10055, "イメージファイルを開けませんでした。"},  // the image file cannot be opened
        {10056, "原因は不明です。"},  // cause of a file error
        {10057, "ファイルが見つかりません。"},  // cause of a file error
        {10058, "パスが不正です。"},  // cause of a file error
        {10059, "これ以上ファイルを開けません。"},  // cause of a file error
        {10060, "アクセスが禁止されています。"},  // cause of a file error
        {10061, "ハンドルが不正です。"},  // cause of a file error
        {10062, "フォルダを使用中です。"},  // cause of a file error
        {10063, "ディレクトリが満杯です。"},  // cause of a file error
        {10064, "ファイルポインタの位置が不正です。"},  // cause of a file error
        {10065, "ハードウェアのエラーです。"},  // cause of a file error
        {10066, "ファイルを使用中です。"},  // cause of a file error
        {10067, "既にロックされています。"},  // cause of a file error
        {10068, "ディスクが満杯です。"},  // cause of a file error
        {10070, "以上のファイル名が長すぎます。\nファイル名は64文字以内です。"},  // names too long for Joliet
        {10072, "以上のファイル名が長すぎます。\nファイル名は127文字以内です。"},  // names too long for UDF
        {10073, "イメージファイルを閉じれませんでした。"},  // the image file cannot be closed
        {10074, "イメージファイルへの書き込みに失敗しました。"},  // writing the image failed
        {10075, "ファイルの読み取りに失敗しました。"},  // reading a source file failed
        {10076, "以上のファイルとフォルダで、ISO9660用の\n8.3形式のファイル名の取得に失敗しました。"},  // names without a usable 8.3 form
        {10077, "イメージファイル名を入力してください。"},  // image path empty
        // Our own texts, in the style of the name reports.
        {10078, "以上のファイルは4GB以上のため、ISO9660とJolietには格納できません。\nこのようなファイルはファイルシステム「UDF」で作成してください。"},  // files of 4 GiB or more in a kind with ISO 9660
        {10079, "以上のファイルは大きすぎるため、UDFのファイルエントリに格納できません。"},  // files beyond 217 extents of one UDF file entry
        {10080, "イメージの配置に内部エラーが発生しました。\n(セクタ %s、予定 %s)"},  // the writer left the layout's plan
        {10081, "フォルダが %s 個あります。ISO9660とJolietに格納できるフォルダは65,535個までです。\nこのようなフォルダはファイルシステム「UDF」で作成してください。"},  // more folders than a path table can number
        {10082, "以上のファイルとフォルダの名前は、UTF-8としてもShift_JISとしても読めません。\n名前を変更してください。"},  // names neither UTF-8 nor code page 932
        {10083, "以上のファイルとフォルダは、同じフォルダの中でイメージ上の名前が重なります。\n(Jolietでは末尾のピリオドと空白は無視されます)"},  // names that come out the same in the image
        {10084, "以上のファイルとフォルダの名前には、Jolietに使用できない文字\n(制御文字、* : ? \\、フォルダ名の ;)が含まれています。"},  // characters Joliet cannot hold
        {10085, "%s\nファイルが読み取り中に変更されました。"},  // a source file changed while it was copied
        {10086, "%s\nフォルダの中にフォルダが %s 個あります。UDFに格納できるのは65,534個までです。"},  // more subfolders than a UDF link count holds
        {10087, "イメージが %s セクタになります。作成できるイメージは4,294,967,295セクタまでです。"},  // more sectors than an image can number
        {10088, "%s\nフォルダです。イメージファイル名を入力してください。"},  // the image path names a folder
        {10089, "ファイルを読み込めませんでした。"},  // a settings or exclusion file cannot be read
        {10090, "通常のファイルではありません。"},  // cause: not a regular file
        {10091, "ファイルが大きすぎます。(1 MiBまで)"},  // cause: larger than a settings file can be
        {10092, "%s 個の項目(リンク先のないリンク、親フォルダへのリンク、特殊ファイル)はイメージに含まれていません。一覧は --size --check で表示されます。"},  // after a build that skipped entries
        {10093, "以上の項目はイメージに含まれません。"},  // below the list of skipped entries
        {10094, "(リンク先がありません)"},  // skipped: dangling link
        {10095, "(特殊ファイル)"},  // skipped: FIFO, socket, device
        {10096, "(親フォルダへのリンク)"},  // skipped: link back to an ancestor
        {61712, "整数を入力してください。"},  // not an integer
        {61714, "%1 から %2 までの整数を入力してください。"},  // integer out of range
        {61716, "%1 文字以内で入力してください。"},  // text too long
    };
    return table;
}

std::string Substitute(const std::string& format, const std::string* args, size_t count,
                       bool numbered) {
    std::string out;
    size_t used = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            char c = format[i + 1];
            if (!numbered && c == 's') {
                if (used < count) out += args[used];
                ++used;
                ++i;
                continue;
            }
            if (numbered && c >= '1' && c <= '9') {
                size_t n = size_t(c - '1');
                if (n < count) out += args[n];
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

}  // namespace

const std::string& LoadString(int id) {
    static const std::string empty;
    auto it = Table().find(id);
    return it == Table().end() ? empty : it->second;
}

std::string FormatString(int id, const std::string& a) {
    return Substitute(LoadString(id), &a, 1, false);
}

std::string FormatString(int id, const std::string& a, const std::string& b) {
    const std::string args[] = {a, b};
    return Substitute(LoadString(id), args, 2, false);
}

std::string FormatNumbered(int id, const std::string& p1, const std::string& p2) {
    const std::string args[] = {p1, p2};
    return Substitute(LoadString(id), args, 2, true);
}

}  // namespace pm
