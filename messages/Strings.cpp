#include "messages/Strings.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace pm {
namespace {

// One text in both languages, UTF-8. An entry without English (null) shows
// its Japanese text in English too, until someone writes one.
struct Entry {
    int id;
    const char* ja;
    const char* en;
};

// The Japanese texts are the ones Japanese users have always seen; keep them.
const Entry kEntries[] = {
    {10033, "ｲﾒｰｼﾞﾌｧｲﾙ (*.img *.iso)|*.iso;*.img;*.bin;|全てのﾌｧｲﾙ (*.*)|*.*||",  // image file filter of the save dialog
            "Image files (*.img *.iso)|*.iso;*.img;*.bin;|All files (*.*)|*.*||"},
    {10036, "イメージファイル名を選択",  // title of the save dialog
            "Choose the image file name"},
    {10037, "イメージを作成するフォルダを選択",  // title of the folder browser
            "Choose the folder to make an image of"},
    {10038, "except.txt",  // exclusion list file beside the program
            "except.txt"},
    {10039, "%s\nフォルダが見つかりません。",  // source folder not found
            "%s\nFolder not found."},
    {10041, "イメージの作成が終了しました。",  // build finished
            "The image was created."},
    {10042, "中止します。",  // build stopped
            "Stopped."},
    {10043, "中止",  // stop button
            "Stop"},
    {10044, "終了",  // exit button
            "Exit"},
    {10046, "イメージのシステム領域を準備しています...",  // status: build started
            "Preparing the system area of the image..."},
    {10047, "イメージファイルを作成しています...",  // status: writing
            "Writing the image file..."},
    {10048, "\nイメージファイルの作成に失敗しました。",  // behind the texts of a failed build
            "\nThe image file could not be created."},
    {10051, "作成されるイメージファイルの大きさを計算しています...",  // status: computing the size
            "Computing the size of the image file..."},
    {10052, "イメージファイルサイズの計算に失敗しました。",  // status: size preview failed
            "The size of the image file could not be computed."},
    {10053, "作成されるイメージファイルの大きさ : %s Sectors  %s BYTE",  // status: image size
            "Size of the image file: %s sectors  %s bytes"},
    {10054, "ファイルを開けませんでした。",  // a source file cannot be opened
            "The file could not be opened."},
    {10055, "イメージファイルを開けませんでした。",  // the image file cannot be opened
            "The image file could not be opened."},
    {10056, "原因は不明です。",  // cause of a file error
            "Cause unknown."},
    {10057, "ファイルが見つかりません。",  // cause of a file error
            "File not found."},
    {10058, "パスが不正です。",  // cause of a file error
            "Invalid path."},
    {10059, "これ以上ファイルを開けません。",  // cause of a file error
            "Too many open files."},
    {10060, "アクセスが禁止されています。",  // cause of a file error
            "Access denied."},
    {10061, "ハンドルが不正です。",  // cause of a file error
            "Invalid handle."},
    {10062, "フォルダを使用中です。",  // cause of a file error
            "The folder is in use."},
    {10063, "ディレクトリが満杯です。",  // cause of a file error
            "The directory is full."},
    {10064, "ファイルポインタの位置が不正です。",  // cause of a file error
            "Invalid file position."},
    {10065, "ハードウェアのエラーです。",  // cause of a file error
            "Hardware error."},
    {10066, "ファイルを使用中です。",  // cause of a file error
            "The file is in use."},
    {10067, "既にロックされています。",  // cause of a file error
            "Already locked."},
    {10068, "ディスクが満杯です。",  // cause of a file error
            "Disk full."},
    {10070, "以上のファイル名が長すぎます。\nファイル名は64文字以内です。",  // names too long for Joliet
            "The names above are too long.\nNames may have at most 64 characters."},
    {10072, "以上のファイル名が長すぎます。\nファイル名は127文字以内です。",  // names too long for UDF
            "The names above are too long.\nNames may have at most 127 characters."},
    {10073, "イメージファイルを閉じれませんでした。",  // the image file cannot be closed
            "The image file could not be closed."},
    {10074, "イメージファイルへの書き込みに失敗しました。",  // writing the image failed
            "Writing to the image file failed."},
    {10075, "ファイルの読み取りに失敗しました。",  // reading a source file failed
            "Reading the file failed."},
    {10076, "以上のファイルとフォルダで、ISO9660用の\n8.3形式のファイル名の取得に失敗しました。",  // names without a usable 8.3 form
            "The files and folders above have no usable\n8.3 name for ISO 9660."},
    {10077, "イメージファイル名を入力してください。",  // image path empty
            "Enter the image file name."},
    // Our own texts, in the style of the name reports.
    {10079, "以上のファイルは大きすぎるため、UDFのファイルエントリに格納できません。",  // files beyond 217 extents of one UDF file entry
            "The files above are too large for one UDF file entry."},
    {10080, "イメージの配置に内部エラーが発生しました。\n(セクタ %s、予定 %s)",  // the writer left the layout's plan
            "Internal error in the layout of the image.\n(sector %s, planned %s)"},
    {10081, "フォルダが %s 個あります。ISO9660とJolietに格納できるフォルダは65,535個までです。\nこのようなフォルダはファイルシステム「UDF」で作成してください。",  // more folders than a path table can number
            "There are %s folders. ISO 9660 and Joliet hold at most 65,535 folders.\nMake images of so many folders with the file system \"UDF\"."},
    {61712, "整数を入力してください。",  // not an integer
            "Enter an integer."},
    {61714, "%1 から %2 までの整数を入力してください。",  // integer out of range
            "Enter an integer from %1 to %2."},
    {61716, "%1 文字以内で入力してください。",  // text too long
            "Enter at most %1 characters."},
    {10082, "以上のファイルとフォルダの名前は、UTF-8としてもShift_JISとしても読めません。\n名前を変更してください。",  // names neither UTF-8 nor code page 932
            "The names of the files and folders above are neither UTF-8 nor Shift_JIS.\nPlease rename them."},
    {10083, "以上のファイルとフォルダは、同じフォルダの中でイメージ上の名前が重なります。\n(Jolietでは末尾のピリオドと空白は無視されます)",  // names that come out the same in the image
            "The files and folders above would have the same name in the image within one folder.\n(Joliet readers ignore trailing dots and blanks.)"},
    {10084, "以上のファイルとフォルダの名前には、Jolietに使用できない文字\n(制御文字、* : ? \\、フォルダ名の ;)が含まれています。",  // characters Joliet cannot hold
            "The names above hold characters Joliet cannot hold\n(control characters, * : ? \\, and ; in folder names)."},
    {10085, "%s\nファイルが読み取り中に変更されました。",  // a source file changed while it was copied
            "%s\nThe file changed while it was read."},
    {10086, "%s\nフォルダの中にフォルダが %s 個あります。UDFに格納できるのは65,534個までです。",  // more subfolders than a UDF link count holds
            "%s\nThis folder holds %s folders. UDF can hold at most 65,534 in one folder."},
    {10087, "イメージが %s セクタになります。作成できるイメージは4,294,967,295セクタまでです。",  // more sectors than an image can number
            "The image would have %s sectors. An image can have at most 4,294,967,295 sectors."},
    {10088, "%s\nフォルダです。イメージファイル名を入力してください。",  // the image path names a folder
            "%s\nThis is a folder. Please enter an image file name."},
    {10089, "ファイルを読み込めませんでした。",  // a settings or exclusion file cannot be read
            "The file could not be read."},
    {10090, "通常のファイルではありません。",  // cause: not a regular file
            "It is not a regular file."},
    {10091, "ファイルが大きすぎます。(1 MiBまで)",  // cause: larger than a settings file can be
            "The file is too large (1 MiB at most)."},
    {10092, "%s 個の項目 (%s) はイメージに含まれていません。一覧は --size --check で表示されます。",  // after a build that skipped entries: count, then 10126 and 10127 joined
            "%s entries (%s) are not in the image. --size --check lists them."},
    {10093, "以上の項目はイメージに含まれません。",  // below the list of skipped entries
            "The entries above are not in the image."},
    {10094, "(リンク先がありません)",  // skipped: dangling link
            "(dangling link)"},
    {10095, "(特殊ファイル)",  // skipped: FIFO, socket, device
            "(special file)"},
    {10096, "(親フォルダへのリンク。空のフォルダとして入ります)",  // listed: link back to an ancestor, kept as an empty folder
            "(link to a parent folder; in the image as an empty folder)"},
    {10097, "(%s と大文字・小文字だけが違います)",  // listed: a name with a case twin in its folder
            "(differs from %s only in letter case)"},
    {10098, "%s では組の一方しか開けません。両方とも開けるのは %s です。",  // case twins: readers that open one of a pair (10120-10122), readers that open both (10123-10125)
            "%s open only one of each pair; %s open both."},
    {10099, "%s 組の名前が大文字・小文字だけで違います。一覧は --size --check で表示されます。",  // after a build with case twins
            "%s pairs of names differ only in letter case. --size --check lists them."},
    // parumero-cli
    {10100, "  --kind KIND        ファイルシステム: joliet (ISO9660とJoliet、既定)、bridge (UDF Bridge)、udf\n"
            "  --label TEXT       ボリュームラベル (既定: フォルダ名、15 文字以内)\n"
            "  --date DATETIME    作成日時 \"YYYY-MM-DD HH:MM:SS\" (既定: フォルダの更新日時)\n"
            "  --settings FILE    ボリューム情報のファイル (既定: ~/.config/parumero/parumero.INI)\n"
            "  --except FILE      除外リスト (既定: 設定ファイルと同じフォルダの except.txt)\n"
            "  --no-short-names   ISO9660 の名前に 8.3 形式の別名を使わない\n"
            "  --hide-dot-files   \".\" で始まる名前に隠し属性を付ける\n"
            "  --reflink          ファイルの中身を 4 KiB 境界に置き、btrfs や XFS では元のファイルと\n"
            "                     ブロックを共有する (複製しない)\n"
            "  --posix            Linux の属性 (パーミッション、所有者、時刻、シンボリックリンク、ハードリンク)\n"
            "                     を Rock Ridge と UDF に記録する\n"
            "  --boot-bios FILE   BIOS (x86) から起動するブートイメージを加える (エミュレーションなし)\n"
            "  --boot-uefi FILE   UEFI から起動するブートイメージ (FAT ファイルシステムのイメージ) を加える\n"
            "  --boot-load-size N 直前のブートイメージから読み込む 512 バイトのセクタ数 (既定: 全体)\n"
            "  --boot-info-table  直前のブートイメージにブート情報テーブルを書き込む (isolinux など)\n"
            "  --boot-from IMAGE  既存のイメージのブートエントリを全て引き継ぐ (先頭に置く)\n"
            "  --boot-windows     Windows セットアップの構成: boot/etfsboot.com (8 セクタ) と efi/microsoft/boot/efisys.bin\n"
            "  --boot-catalog PATH ブートカタログを ISO9660 と Joliet のこのパスに載せる (既定: 載せない)\n"
            "  --size             イメージを作らず、大きさと収まるメディアを表示する\n"
            "  --check            --size と一緒に: 全ての名前を検査する\n"
            "  --verify           イメージを作らず、IMAGE を SOURCE と比べる (違いを 1 行ずつ表示)\n"
            "  --verify-after     作成したイメージを SOURCE と比べる\n"
            "  --names            イメージを作らず、各項目の ISO9660、Joliet、UDF の名前を表示する\n"
            "  --quiet            成功したときは何も表示しない\n"
            "  -h, --help         この説明を表示して終了する\n"
            "  -V, --version      バージョンを表示して終了する\n"
            "値は --kind udf とも --kind=udf とも書けます。-- の後は全て SOURCE と IMAGE です。\n"
            "IMAGE が - のときはイメージを標準出力に書き出します (端末には書き出しません)。\n"
            "\n"
            "終了ステータス: 0 成功、1 失敗 (--check と --names では収まらない名前、--verify では違い)、2 使い方の誤り、130 中止 (Ctrl-C)\n",
            "  --kind KIND        file system: joliet (ISO 9660 and Joliet, default), bridge (UDF bridge), udf\n"
            "  --label TEXT       volume label (default: the folder's name, at most 15 characters)\n"
            "  --date DATETIME    creation date and time \"YYYY-MM-DD HH:MM:SS\" (default: the folder's)\n"
            "  --settings FILE    volume information file (default: ~/.config/parumero/parumero.INI)\n"
            "  --except FILE      exclusion list (default: except.txt beside the settings file)\n"
            "  --no-short-names   no 8.3 aliases in ISO 9660 names\n"
            "  --hide-dot-files   give names beginning with \".\" the hidden attribute\n"
            "  --reflink          start file data on 4 KiB boundaries; on btrfs and XFS the image then\n"
            "                     shares the source files' blocks instead of copying them\n"
            "  --posix            keep Linux attributes (permissions, owners, times, symbolic and hard\n"
            "                     links) in Rock Ridge and in the UDF tree\n"
            "  --boot-bios FILE   add a boot image for BIOS (x86) machines, no emulation\n"
            "  --boot-uefi FILE   add a boot image for UEFI machines (an image of a FAT file system)\n"
            "  --boot-load-size N 512-byte sectors the firmware loads of the boot image just before (default: all)\n"
            "  --boot-info-table  write the boot information table into the boot image just before (isolinux)\n"
            "  --boot-from IMAGE  take every boot entry of an existing image (they come first)\n"
            "  --boot-windows     a Windows setup folder: boot/etfsboot.com (8 sectors), efi/microsoft/boot/efisys.bin\n"
            "  --boot-catalog PATH list the boot catalog at PATH of the image's trees (default: listed nowhere)\n"
            "  --size             print the image's size and the medium it fits instead of building\n"
            "  --check            with --size: also check every name\n"
            "  --verify           compare IMAGE with SOURCE instead of building (one line per difference)\n"
            "  --verify-after     compare the image with SOURCE once it is built\n"
            "  --names            print each entry's ISO 9660, Joliet and UDF names instead of building\n"
            "  --quiet            print nothing on success\n"
            "  -h, --help         print this help and exit\n"
            "  -V, --version      print the version and exit\n"
            "Values go as --kind udf or --kind=udf. Everything after -- is SOURCE and IMAGE.\n"
            "IMAGE - writes the image to standard output (never to a terminal).\n"
            "\n"
            "Exit status: 0 done, 1 failed (with --check and --names: names that do not fit; with --verify: differences), 2 usage error, 130 stopped (Ctrl-C)\n"},
    {10101, "不明なオプションです: %s", "unknown option: %s"},
    {10102, "%s には値が必要です", "%s needs a value"},
    {10103, "ファイルシステム %s はありません (joliet、bridge、udf)", "unknown kind: %s (joliet, bridge or udf)"},
    {10104, "--size には SOURCE を一つ指定します", "--size takes one SOURCE"},
    {10105, "SOURCE と IMAGE を指定してください", "SOURCE and IMAGE are needed"},
    {10106, "--check は --size と一緒に使います", "--check goes with --size"},
    {10107, "詳しくは parumero-cli --help を見てください。", "Try parumero-cli --help for more information."},
    {10108, "--date は \"YYYY-MM-DD HH:MM:SS\" の形で指定します", "--date takes \"YYYY-MM-DD HH:MM:SS\""},
    {10109, "標準出力が端末です。イメージはファイルかパイプに書き出してください。",
            "Standard output is a terminal: send the image to a file or a pipe."},
    {10110, "標準出力への書き込みに失敗しました。", "Writing to standard output failed."},
    {10111, "%s に収まります。", "Fits on a %s."},
    {10112, "BD DL 50 GB より大きいため、どのメディアにも収まりません。", "Larger than a BD DL 50 GB."},
    {10113, "残り %s 秒", "%s s left"},
    {10114, "%s は値をとりません", "%s takes no value"},
    {10116, "標準出力", "standard output"},
    {10117, "--size、--verify、--names、--verify-after は一つずつ指定します",
            "--size, --verify, --names and --verify-after go one at a time"},
    {10118, "--names には SOURCE を一つ指定します", "--names takes one SOURCE"},
    {10119, "以上の名前は、同じフォルダの別の名前と大文字・小文字だけが違います。イメージには両方とも入ります。",  // below the list of case twins
            "The names above differ only in letter case from another in their folder. The image holds both."},
    {10120, "Windows と Linux カーネルの Joliet", "Windows and the Linux kernel's Joliet"},
    {10121, "Windows (Joliet と UDF) と Linux カーネルの Joliet", "Windows (Joliet and UDF) and the Linux kernel's Joliet"},
    {10122, "Windows", "Windows"},
    {10123, "7-Zip、bsdtar、xorriso", "7-Zip, bsdtar and xorriso"},
    {10124, "Linux カーネルの UDF、7-Zip、bsdtar、xorriso", "the Linux kernel's UDF, 7-Zip, bsdtar and xorriso"},
    {10125, "Linux カーネルの UDF と 7-Zip", "the Linux kernel's UDF and 7-Zip"},
    {10126, "リンク先のないリンク %s", "%s dangling links"},
    {10430, "Windows (Joliet と UDF)", "Windows (Joliet and UDF)"},  // case twins with Rock Ridge: readers that open one of a pair
    {10431, "Linux カーネル (Rock Ridge)、7-Zip、bsdtar、xorriso", "the Linux kernel (Rock Ridge), 7-Zip, bsdtar and xorriso"},
    {10432, "Linux カーネル (Rock Ridge と UDF)、7-Zip、bsdtar、xorriso", "the Linux kernel (Rock Ridge and UDF), 7-Zip, bsdtar and xorriso"},
    {10127, "特殊ファイル %s", "%s special files"},
    {10128, "%s 個の親フォルダへのリンクは空のフォルダとしてイメージに入っています。一覧は --size --check で表示されます。",  // after a build that met links back to an ancestor
            "%s links to a parent folder are in the image as empty folders. --size --check lists them."},
    {10129, "、", ", "},
    {10130, "--label には制御文字 (タブ、改行など) を使えません", "--label cannot hold control characters (tab, newline, ...)"},
    {10132, "(更新日時が 2155 年より後: ISO 9660 と Joliet には 2155-12-31 23:59:59 と記録されます)",  // listed: a date later than ISO 9660 records hold
            "(modified after 2155: ISO 9660 and Joliet record 2155-12-31 23:59:59)"},
    {10133, "読み取り専用のファイルシステムです。",  // cause of a file error: a read-only file system
            "The file system is read-only."},
    {10134, "設定ファイルの %s は範囲外のため使わず、既定値を使います",  // a value of the settings file out of range: key=value
            "%s in the settings file is out of range: the default is used instead"},
    {10131, "SOURCE_DATE_EPOCH (%s) が秒数ではないため使いません",  // the variable is set to something else than a number of seconds
            "SOURCE_DATE_EPOCH (%s) is not a number of seconds; it is ignored"},  // names the image written to standard output in reports
    // The desktop program's own captions. English accelerators differ from
    // the Japanese ones where two would share a key in one window or menu.
    {10140, "ぱるめろ", "Parumero"},  // program name: window and box titles
    {10141, "フォルダ(&F):", "&Folder:"},
    {10142, "イメージ名(&I):", "&Image file:"},
    {10143, "ボリュームラベル(&V):", "&Volume label:"},
    {10144, "作成日時(&T):", "Da&te and time:"},
    {10145, "ファイルシステム(&S):", "File &system:"},
    {10146, "さて、どうする", "Ready."},  // status line before anything is chosen
    {10147, "作成開始(&E)", "Cr&eate"},  // start button
    {10148, "終了(&X)", "E&xit"},  // exit button and the menu item
    {10149, "ｼｽﾃﾑ(&Y)", "S&ystem"},
    {10150, "追加情報(&P)", "O&ptions"},
    {10400, "ファイルの中身をブロック共有する (btrfs、XFS)(&R)", "Share file &blocks (btrfs, XFS)"},
    {10402, "(イメージ内のファイルを指さないリンク: Joliet には入りません)",  // listed: a kept symbolic link the Joliet tree leaves out
            "(link to no file of the image: not in the Joliet tree)"},
    {10403, "%s 個のシンボリックリンクはイメージ内のファイルを指さないため、Joliet には入っていません (Rock Ridge と、UDF Bridge では UDF にも、リンクとして入っています)。一覧は --size --check で表示されます。",  // after a build with such links
            "%s symbolic links lead to no file of the image and are not in the Joliet tree (Rock Ridge, and the UDF tree of a bridge, keep them as links). --size --check lists them."},
    {10420, "Rock Ridge では %1 が %2、元のフォルダでは %3 です", "%1 %2 in Rock Ridge, %3 in the source"},  // %1: mode, uid, nlink, link target...
    {10421, "Rock Ridge の項目がありません", "no Rock Ridge entries"},
    {10422, "以上のシンボリックリンクのリンク先は UDF に記録できません。パスの要素にして 1,740 バイトを超えるか、255 バイトを超える名前を含むか、UTF-8 としても Shift_JIS としても読めないためです。",  // --posix: targets the UDF link entry cannot hold
            "The targets of the symbolic links above cannot be recorded in UDF (over 1,740 bytes as path components, a name over 255 bytes, or text that is neither UTF-8 nor Shift_JIS)."},
    {10423, "UDF では %1 が %2、元のフォルダでは %3 です", "%1 %2 in UDF, %3 in the source"},  // %1: mode, uid, nlink, link target...
    {10424, "UDF では %1 とは別のファイルエントリです (ハードリンク)", "a file entry of its own in UDF, not %1's (hard link)"},
    {10401, "Linux の属性を記録する (Rock Ridge、UDF)(&L)", "Keep &Linux attributes (Rock Ridge, UDF)"},
    {10151, "ボリューム情報(&V)...", "&Volume information..."},
    {10404, "ブートの設定(&B)...", "B&oot settings..."},  // "Share file &blocks" has B in English
    {10405, "ブートの設定", "Boot settings"},
    {10406, "BIOS のブートイメージ(&B):", "&BIOS boot image:"},
    {10407, "読み込むセクタ数(&L):", "&Load size (sectors):"},
    {10408, "空欄: イメージ全体", "empty: the whole image"},  // shown in the empty load size box
    {10409, "ブート情報テーブルを書き込む(&T)", "Write the boot info &table"},
    {10410, "UEFI のブートイメージ(&U):", "&UEFI boot image:"},
    {10411, "ブートカタログのパス(&C):", "Boot &catalog path:"},
    {10412, "空欄: どのツリーにも載せない (例: boot.cat)", "empty: listed in no tree (e.g. boot.cat)"},
    {10413, "ブートイメージの選択", "Choose a boot image"},
    {10414, "読み込むセクタ数は 1 から 65535 までの数です (空欄はイメージ全体)。",
            "The load size is a number from 1 to 65535 (empty: the whole image)."},
    {10415, "%s\nブートイメージはフルパス (/ から) で指定してください。", "%s\nGive the boot image's full path (from /)."},
    {10416, "起動可能: %s", "Bootable: %s"},  // beside the kind: the platforms of the boot entries
    {10152, "ﾍﾙﾌﾟ(&H)", "&Help"},
    {10153, "奥付(&A)...", "&About Parumero..."},
    {10154, "イメージの検証(&C)...", "&Check image against folder..."},
    {10155, "ぱるめろのﾊﾞｰｼﾞｮﾝ情報", "About Parumero"},
    {10156, "Version 0.010", "Version 0.010"},
    {10157, "OK", "OK"},
    {10158, "ボリューム情報の設定", "Volume information"},
    {10159, "&OS:", "&OS:"},
    {10160, "ディスクセット名(&S):", "Volume &set name:"},
    {10161, "ディスク枚数(&D):", "&Discs in the set:"},
    {10162, "ディスク番号(&N):", "Disc &number:"},
    {10163, "出版社(&P):", "&Publisher:"},
    {10164, "編集者(&E):", "Data pr&eparer:"},
    {10165, "作成ソフト(&L):", "App&lication:"},
    {10166, "著作権ファイル名(&R):", "Copy&right file:"},
    {10167, "抄録ファイル名(&A):", "&Abstract file:"},
    {10168, "書誌ファイル名(&B):", "&Bibliography file:"},
    {10169, "作成日時(&C):", "&Created:"},
    {10170, "更新日時(&M):", "&Modified:"},
    {10171, "失効日時(&X):", "E&xpires:"},
    {10172, "発行日時(&E):", "Effecti&ve:"},
    {10173, "年", "y"},  // units behind the six boxes of a date row
    {10174, "月", "m"},
    {10175, "日", "d"},
    {10176, "時", "h"},
    {10177, "分", "min"},
    {10178, "秒", "s"},
    {10179, "&UDF作成システム名:", "&UDF implementation:"},
    {10180, "標準に設定(&F)", "Save as de&fault"},
    {10181, "ｷｬﾝｾﾙ", "Cancel"},
    {10182, "Joliet  (CD-ROM)", "Joliet  (CD-ROM)"},  // the kinds in the list
    {10183, "UDF Bridge  (DVD-ROM)", "UDF Bridge  (DVD-ROM)"},
    {10184, "UDF", "UDF"},
    {10185, "ディスクイメージを作成しています", "Building a disc image"},  // why the screen saver waits
    // Checking an image against the folder (the menu item above)
    {10186, "検証するイメージファイルを選択", "Choose the image file to check"},
    {10187, "イメージを検証しています...", "Checking the image against the folder..."},
    {10188, "イメージはフォルダと一致しました。", "The image matches the folder."},
    {10189, "以上のように、イメージとフォルダには %s 個の相違があります。",
            "The image differs from the folder in %s places (above)."},
    {10190, "(ほか %s 個)", "(and %s more)"},
    {10191, "%s\nイメージファイルを読み取れませんでした。(%s)", "%s\nThe image file could not be read. (%s)"},
    {10240, "Copyright (c) 2026 the parumero developers\nMIT ライセンスのもとで、誰でも自由に使用・複製・改変・再配布できます。",  // the about box
            "Copyright (c) 2026 the parumero developers\nAnyone may use, copy, modify and redistribute it under the MIT License."},
    // --verify. The English lines are what scripts parse: keep them as they are.
    // %1 is a hierarchy ("ISO 9660", "Joliet", "UDF") where one is named.
    {10241, "%1 にありません (\"%2\" として)", "missing in %1 (as \"%2\")"},
    {10242, "%1 にあり、元のフォルダにはありません", "in %1 but not in the source"},
    {10243, "%1 ではフォルダ、元のフォルダではファイルです", "a folder in %1, a file in the source"},
    {10244, "%1 ではファイル、元のフォルダではフォルダです", "a file in %1, a folder in the source"},
    {10245, "%1 では隠し属性があり、元のフォルダにはありません", "hidden in %1, not in the source"},
    {10246, "%1 では隠し属性がなく、元のフォルダにはあります", "not hidden in %1, hidden in the source"},
    {10247, "%1 では大きさが %2、元のフォルダでは %3 です", "size %2 in %1, %3 in the source"},
    {10248, "%1 では更新日時が %2、元のフォルダでは %3 です", "modified %2 in %1, %3 in the source"},
    {10249, "(日時なし)", "(no time)"},
    {10250, "%1 と %2 が別のセクタを指しています", "%1 and %2 point at different sectors"},
    {10251, "内容がイメージの終わりより後ろにあります", "content lies past the end of the image"},
    {10252, "元のファイルを開けません", "the source file cannot be opened"},
    {10253, "イメージを読み取れません", "the image cannot be read"},
    {10254, "元のファイルを読み取れません", "the source file cannot be read"},
    {10255, "元のファイルがバイト位置 %1 で終わっています", "the source file ends at byte %1"},
    {10256, "内容がバイト位置 %1 で異なります", "content differs at byte %1"},
    {10257, "元のファイルは記録された %1 バイトより長くなっています", "the source file goes on past the %1 bytes recorded"},
    {10258, "Joliet ボリュームがありません", "no Joliet volume"},
    {10259, "ISO 9660 ボリュームがありません", "no ISO 9660 volume"},
    {10260, "UDF ボリュームがありません", "no UDF volume"},
    {10261, "フォルダ %1 個", "%1 folder"},
    {10262, "フォルダ %1 個", "%1 folders"},
    {10263, "ファイル %1 個", "%1 file"},
    {10264, "ファイル %1 個", "%1 files"},
    {10265, "%1、%2、%3 バイトを比較", "%1, %2, %3 bytes compared"},
    {10266, "一致しました (%1)", "identical (%1)"},
    {10267, "相違が %1 個あります (%2)", "%1 difference (%2)"},
    {10268, "相違が %1 個あります (%2)", "%1 differences (%2)"},
    {10269, "%1 を読み取れません: %2", "%1 cannot be read: %2"},
    {10270, "%s\n設定ファイルに保存できませんでした。", "%s\nThe settings could not be saved to this file."},  // "標準に設定(&F)" failed; the cause follows
    {10192, "%s\nブートイメージが見つかりません。", "%s\nBoot image not found."},
    {10193, "%s\nブートイメージが空です。", "%s\nThe boot image is empty."},
    {10194, "%s\nUEFI のブートイメージが FAT ファイルシステムではありません。",
            "%s\nThe UEFI boot image is not a FAT file system."},
    {10195, "%s\nUEFI のブートイメージが EFI プログラム (PE ファイル) です。"
            "それを \\EFI\\BOOT\\BOOTX64.EFI として収めた FAT ファイルシステムのイメージを指定してください。",
            "%s\nThe UEFI boot image is an EFI program (a PE file): give an image of a FAT file system that holds it "
            "as \\EFI\\BOOT\\BOOTX64.EFI."},
    {10196, "%s\nブート情報テーブルを書き込むには、ブートイメージが 64 バイト以上必要です。",
            "%s\nA boot information table needs a boot image of at least 64 bytes."},
    {10197, "%s\n読み込むセクタ数 %s がブートイメージの大きさを超えています。",
            "%s\nThe load size of %s sectors goes beyond the end of the boot image."},
    {10198, "%s\nブートイメージが大きすぎます。BIOS が読み込めるのは 65535 セクタ (512 バイト単位) までです。"
            "読み込むセクタ数を指定してください。",
            "%s\nThe boot image is too large: a BIOS loads at most 65,535 sectors of 512 bytes. Give a load size."},
    {10199, "ブートエントリが多すぎてブートカタログに収まりません (%s 個)。",
            "Too many boot entries for the boot catalog (%s)."},
    {10200, "%s は --boot-bios か --boot-uefi の後に指定します", "%s goes after --boot-bios or --boot-uefi"},
    {10202, "%s\nブートカタログを置くフォルダがソースにありません。", "%s\nThe folder for the boot catalog is not in the source."},
    {10203, "%s\nブートカタログと同じ名前の項目がソースにあります。", "%s\nThe source already holds an entry of the boot catalog's name."},
    {10201, "--boot-load-size は 1 から 65535 までの数です", "--boot-load-size takes a number from 1 to 65535"},
    {10115, "使い方: parumero-cli [OPTION]... SOURCE IMAGE\n"
            "        parumero-cli --size [--check] [OPTION]... SOURCE\n"
            "        parumero-cli --verify [OPTION]... SOURCE IMAGE\n"
            "        parumero-cli --names [OPTION]... SOURCE\n",
            "usage: parumero-cli [OPTION]... SOURCE IMAGE\n"
            "       parumero-cli --size [--check] [OPTION]... SOURCE\n"
            "       parumero-cli --verify [OPTION]... SOURCE IMAGE\n"
            "       parumero-cli --names [OPTION]... SOURCE\n"},
};

std::atomic<Language> g_language{Language::Japanese};

using Texts = std::map<int, std::pair<std::string, std::string>>;

const Texts& Table() {
    static const Texts table = [] {
        Texts t;
        for (const Entry& e : kEntries) t[e.id] = {e.ja, e.en ? e.en : e.ja};
        return t;
    }();
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

Language LanguageOfLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* locale = nullptr;
    for (const char* v : {lcAll, lcMessages, lang}) {
        if (v && *v) {
            locale = v;
            break;
        }
    }
    // "ja" alone or followed by a territory, codeset or modifier.
    if (locale && std::strncmp(locale, "ja", 2) == 0 && std::strchr("_.@", locale[2]))
        return Language::Japanese;
    return Language::English;
}

Language LanguageFromEnvironment() {
    return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

void SetLanguage(Language language) { g_language = language; }
Language CurrentLanguage() { return g_language; }

const std::string& LoadString(int id) {
    static const std::string empty;
    auto it = Table().find(id);
    if (it == Table().end()) return empty;
    return g_language == Language::Japanese ? it->second.first : it->second.second;
}

std::vector<int> UntranslatedTexts() {
    std::vector<int> ids;
    for (const Entry& e : kEntries)
        if (!e.en) ids.push_back(e.id);
    return ids;
}

std::string FormatString(int id, const std::string& a) {
    return Substitute(LoadString(id), &a, 1, false);
}

std::string FormatString(int id, const std::string& a, const std::string& b) {
    const std::string args[] = {a, b};
    return Substitute(LoadString(id), args, 2, false);
}

std::string FormatNumbered(int id, const std::string& p1, const std::string& p2, const std::string& p3) {
    const std::string args[] = {p1, p2, p3};
    return Substitute(LoadString(id), args, 3, true);
}

}  // namespace pm
