#include "components/prop_table.h"

#include <array>
#include <unordered_map>

#include "platform/text_encoding.h"

namespace quen {
namespace {

#define K(k) KindBit(TQuenKind::k)

constexpr std::array<TPropInfo, kPropCount> kProps = {{
    {"PR_NAME", "名前", TPropType::ptStr, 0, 0, 0, kAll},
    {"PR_PARENT", "親", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_SOURCE", "ソース", TPropType::ptStr, 0,
     K(Box) | K(Btn) | K(Cin) | K(Htp) | K(Img) | K(Lbl) | K(Par) | K(Vid) | K(Snd) | K(Map) |
         K(Til) | K(Sld) | K(Scb) | K(Gau) | K(CGL) | K(PvM),
     0, 0},
    {"PR_LEFT", "X座標", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_TOP", "Y座標", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_WIDTH", "幅", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_HEIGHT", "高さ", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_ZOOMX", "ズームX", TPropType::ptInt, 256,
     K(Btn) | K(Fir) | K(Img) | K(Lbl) | K(Vid) | K(Til), 0, 0},
    {"PR_COLOR", "色", TPropType::ptInt, 16777215, 0, 0, kCtl},
    {"PR_BORDERWIDTH", "枠幅", TPropType::ptInt, 0, K(Box) | K(Mnu), 0, 0},
    {"PR_BORDERCOLOR", "枠色", TPropType::ptInt, -1, K(Box) | K(Mnu), 0, 0},
    {"PR_ALPHA", "アルファ", TPropType::ptInt, 255,
     K(Box) | K(Btn) | K(Img) | K(Lbl) | K(Mnu) | K(Mes) | K(Par) | K(Vid) | K(Map) | K(Til) |
         K(Sld) | K(Scb) | K(Gau) | K(CGL),
     0, 0},
    {"PR_PRIORITY", "プライオリティ", TPropType::ptInt, 0, 0, 0, kAll},
    {"PR_OFFSETX", "X中心座標", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_OFFSETY", "Y中心座標", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_FONTNAME", "フォント名", TPropType::ptStr, 0,
     K(Btn) | K(Edt) | K(Lbl) | K(Mem) | K(Mnu) | K(Mes), 0, 0},
    {"PR_FONTHEIGHT", "フォントサイズ", TPropType::ptInt, 0,
     K(Btn) | K(Edt) | K(Lbl) | K(Mem) | K(Mnu) | K(Mes), 0, 0},
    {"PR_FONTSTYLE", "フォントスタイル", TPropType::ptInt, 0,
     K(Btn) | K(Edt) | K(Lbl) | K(Mem) | K(Mnu), 0, 0},
    {"PR_LINESPACE", "行間", TPropType::ptInt, 0, K(Lbl) | K(Mnu) | K(Mes) | K(CGL), 0, 0},
    {"PR_FONTCOLOR", "フォント色", TPropType::ptInt, 0,
     K(Btn) | K(Edt) | K(Lbl) | K(Mem) | K(Mnu) | K(Mes), 0, 0},
    {"PR_FONTLINKCOLOR", "リンクの色", TPropType::ptInt, 0, K(Mes), 0, 0},
    {"PR_FONTBORDERCOLOR", "フォントの縁の色", TPropType::ptInt, 0, K(Mnu) | K(Mes), 0, 0},
    {"PR_FONTHOVERCOLOR", "マウスオーバー時の\r\nフォント色", TPropType::ptInt, 0, K(Mnu) | K(Mes),
     0, 0},
    {"PR_FONTHOVERSTYLE", "マウスオーバー時の\r\nフォントスタイル", TPropType::ptInt, 0, K(Mnu), 0,
     0},
    {"PR_HOVERCOLOR", "マウスオーバー時の色", TPropType::ptInt, -1, K(Mnu), 0, 0},
    {"PR_ANTIALIAS", "アンチエイリアス", TPropType::ptBool, 0, K(Btn) | K(Lbl) | K(Mnu) | K(Mes), 0,
     0},
    {"PR_DELAY", "ウエイト", TPropType::ptInt, 0,
     K(Mnu) | K(Mes) | K(Tmr) | K(Vid) | K(Snd) | K(Wav) | K(Gau), 0, 0},
    {"PR_PAUSED", "停止", TPropType::ptBool, 0,
     K(Box) | K(Btn) | K(Cin) | K(Edt) | K(Fir) | K(Img) | K(Lbl) | K(Mem) | K(Mnu) | K(Mes) |
         K(Par) | K(Tmr) | K(Vid) | K(Snd) | K(Map) | K(Wav) | K(Til) | K(Sld) | K(Scb) | K(Gau) |
         K(CGL) | K(PvM) | K(PrM),
     0, 0},
    {"PR_VOLUME", "音量", TPropType::ptInt, 0, K(Cin) | K(Vid) | K(Snd), 0, 0},
    {"PR_REPEAT", "リピート", TPropType::ptBool, 0,
     K(Box) | K(Btn) | K(Cin) | K(Img) | K(Lbl) | K(Vid) | K(Snd) | K(Map) | K(Til),
     K(Map) | K(Til), 0},
    {"PR_BALANCE", "バランス", TPropType::ptInt, 0, K(Vid) | K(Snd), 0, 0},
    {"PR_ANGLE", "角度", TPropType::ptInt, 0, K(Btn) | K(Img) | K(Lbl) | K(Vid) | K(Til), 0, 0},
    {"PR_ONPLAYING", "再生中", TPropType::ptStr, 0, K(Mes), 0, 0},
    {"PR_ONNOTIFY", "汎用イベント", TPropType::ptStr, 0,
     K(Btn) | K(Edt) | K(Mem) | K(Mes) | K(Tmr) | K(Sld) | K(Scb), 0, 0},
    {"PR_ONMOUSEMOVE", "マウス移動", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONMOUSEOUT", "マウスアウト", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONLBTNDOWN", "左ボタンダウン", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONLBTNUP", "左ボタンアップ", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONRBTNDOWN", "右ボタンダウン", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONRBTNUP", "右ボタンアップ", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONWHEELDOWN", "ホイールダウン", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONWHEELUP", "ホイールアップ", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_BRIGHTNESS", "明るさ", TPropType::ptInt, 255, K(Btn) | K(Img) | K(Map) | K(Til), 0, 0},
    {"PR_ONPLAYEND", "再生終了", TPropType::ptStr, 0,
     K(Box) | K(Btn) | K(Cin) | K(Htp) | K(Img) | K(Lbl) | K(Mes) | K(Vid) | K(Snd) | K(PvM), 0, 0},
    {"PR_INDEX", "インデックス", TPropType::ptInt, -1,
     K(Btn) | K(Cin) | K(Img) | K(Mnu) | K(Mes) | K(Par) | K(Vid) | K(Snd) | K(Til), 0, 0},
    {"PR_COUNT", "カウント", TPropType::ptInt, 0,
     K(Btn) | K(Cin) | K(Img) | K(Mnu) | K(Mes) | K(Vid) | K(Snd) | K(Til) | K(PvM),
     K(Btn) | K(Cin) | K(Img) | K(Mnu) | K(Mes) | K(Vid) | K(Snd) | K(Til) | K(PvM), 0},
    {"PR_ONLINK", "リンク", TPropType::ptStr, 0, K(Mes), 0, 0},
    {"PR_VISIBLE", "可視", TPropType::ptBool, 0, 0, 0, kCtl},
    {"PR_COLCOUNT", "列数", TPropType::ptInt, 0, 0, 0, 0},
    {"PR_ROWCOUNT", "行数", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_TEXT", "テキスト", TPropType::ptStr, 0,
     K(Btn) | K(Edt) | K(Htp) | K(Lbl) | K(Mem) | K(Mnu) | K(Mes) | K(CGL) | K(PvM),
     K(Htp) | K(PvM), 0},
    {"PR_MARGINX", "左右の余白", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_MARGINY", "上下の余白", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_HALIGN", "横の揃え", TPropType::ptInt, 0, K(Lbl) | K(Mem) | K(Mnu) | K(CGL), 0, 0},
    {"PR_BORDERSOURCETL", "枠画像(左上)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCETC", "枠画像(上)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCETR", "枠画像(右上)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCECL", "枠画像(左)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCECC", "枠画像(背景)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCECR", "枠画像(右)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCEBL", "枠画像(左下)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCEBC", "枠画像(下)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERSOURCEBR", "枠画像(右下)", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_BORDERHALIGNT", "枠横揃え(上)", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_BORDERHALIGNC", "枠横揃え(背景)", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_BORDERHALIGNB", "枠横揃え(下)", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_BORDERVALIGNL", "枠縦揃え(左)", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_BORDERVALIGNC", "枠縦揃え(背景)", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_BORDERVALIGNR", "枠縦揃え(右)", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_SCROLLSOURCE", "スクロールバー画像", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_CHECKSOURCE", "チェック画像", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_AUTOSCRAP", "自動破棄", TPropType::ptBool, 0,
     K(Box) | K(Btn) | K(Cin) | K(Img) | K(Lbl) | K(Mnu) | K(Tmr) | K(Vid) | K(Snd) | K(Map) |
         K(PvM),
     0, 0},
    {"PR_ONSELECT", "選択", TPropType::ptStr, 0, K(Mnu) | K(Map) | K(PvM), 0, 0},
    {"PR_RCLICKSCRAP", "右クリックで破棄", TPropType::ptBool, 0, K(Mnu) | K(Map) | K(PvM), 0, 0},
    {"PR_ONOPENING", "オープン前", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_ONOPENED", "オープン後", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_ONCLOSING", "クローズ前", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_ONCLOSED", "クローズ後", TPropType::ptStr, 0, K(Mnu), 0, 0},
    {"PR_CARETX", "キャレットX", TPropType::ptInt, 0, K(Mes), 0, kRO},
    {"PR_CARETY", "キャレットY", TPropType::ptInt, 0, K(Mes), 0, kRO},
    {"PR_IGNOREMOUSE", "マウス透過", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_TEXTPAUSED", "テキスト一時停止", TPropType::ptBool, 0, K(Mes), 0, 0},
    {"PR_TEXTDELAY", "テキストウエイト率", TPropType::ptInt, 256, K(Mes), 0, 0},
    {"PR_HOVERSOURCE", "マウスオーバー時の\r\n画像", TPropType::ptStr, 0, K(Btn) | K(Map), 0, 0},
    {"PR_PRESSEDSOURCE", "押された時の画像", TPropType::ptStr, 0, K(Btn), 0, 0},
    {"PR_GROUPINDEX", "グループ番号", TPropType::ptInt, 0, K(Btn), 0, 0},
    {"PR_ALLOWALLUP", "全解除許可", TPropType::ptBool, 0, K(Btn), 0, 0},
    {"PR_SELECTED", "選択", TPropType::ptBool, 0, K(Btn), 0, 0},
    {"PR_CAPTUREMASK", "マウス位置を\r\nマスクで判断", TPropType::ptBool, 0,
     K(Btn) | K(Img) | K(Vid) | K(Til) | K(Sld) | K(Scb), 0, 0},
    {"PR_POWER", "強さ", TPropType::ptInt, 0, K(Fir), 0, 0},
    {"PR_ORIGWIDTH", "元の幅", TPropType::ptInt, 0,
     K(Btn) | K(Fir) | K(Img) | K(Vid) | K(Til) | K(CGL),
     K(Btn) | K(Img) | K(Vid) | K(Til) | K(CGL), kDefWidth},
    {"PR_ORIGHEIGHT", "元の高さ", TPropType::ptInt, 0,
     K(Btn) | K(Fir) | K(Img) | K(Mnu) | K(Vid) | K(Til) | K(CGL),
     K(Btn) | K(Img) | K(Mnu) | K(Vid) | K(Til) | K(CGL), kDefHeight},
    {"PR_APPEARX", "X発生座標", TPropType::ptInt, 0, 0, 0, kRefused},
    {"PR_APPEARY", "Y発生座標", TPropType::ptInt, 0, 0, 0, kRefused},
    {"PR_PARTMOTION", "動作タイプ", TPropType::ptInt, 1, K(Par), 0, 0},
    {"PR_PARAM1", "パラメータ1", TPropType::ptFloat, 0, K(Par), 0, 0},
    {"PR_PARAM2", "パラメータ2", TPropType::ptFloat, 0, K(Par), 0, 0},
    {"PR_TOPINDEX", "最上部インデックス", TPropType::ptInt, 0, K(Mnu), 0, 0},
    {"PR_READONLY", "編集禁止", TPropType::ptBool, 0, K(Edt) | K(Mem), 0, 0},
    {"PR_CURSOR", "カーソル", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_POSZOOMED", "ズーム座標", TPropType::ptBool, 0, 0, 0, kCtl},
    {"PR_ONPLAYSTART", "再生開始", TPropType::ptStr, 0, K(Mes), 0, 0},
    {"PR_PARAM3", "パラメータ3", TPropType::ptFloat, 0, K(Par), 0, 0},
    {"PR_ONMOUSEIN", "マウスイン", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONMAPIN", "マップイン", TPropType::ptStr, 0, K(Mnu) | K(Map) | K(PvM), 0, 0},
    {"PR_ONMAPOUT", "マップアウト", TPropType::ptStr, 0, K(Mnu) | K(Map) | K(PvM), 0, 0},
    {"PR_MAPSOURCE", "マップ", TPropType::ptStr, 0, K(Map), 0, 0},
    {"PR_AMP", "振幅", TPropType::ptInt, 0, K(Wav), 0, 0},
    {"PR_WAVELEN", "波長", TPropType::ptInt, 0, K(Wav), 0, 0},
    {"PR_SCROLLX", "スクロールX", TPropType::ptInt, 0, K(Til), 0, 0},
    {"PR_SCROLLY", "スクロールY", TPropType::ptInt, 0, K(Mes) | K(Til), 0, 0},
    {"PR_FLIPH", "横反転", TPropType::ptBool, 0, K(Btn) | K(Img) | K(Lbl) | K(Vid) | K(Til), 0, 0},
    {"PR_FLIPV", "縦反転", TPropType::ptBool, 0, K(Btn) | K(Img) | K(Lbl) | K(Vid) | K(Til), 0, 0},
    {"PR_ONIDLE", "アイドル", TPropType::ptStr, 0,
     K(Box) | K(Btn) | K(Cin) | K(Fir) | K(Img) | K(Lbl) | K(Mnu) | K(Mes) | K(Par) | K(Vid) |
         K(Map) | K(Wav) | K(Til) | K(Sld) | K(Scb) | K(Gau) | K(CGL) | K(PvM),
     0, 0},
    {"PR_DISTANCEX", "横の間隔", TPropType::ptInt, 0, K(Til), 0, 0},
    {"PR_DISTANCEY", "縦の間隔", TPropType::ptInt, 0, K(Til), 0, 0},
    {"PR_CLIPLEFT", "クリップX", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_CLIPTOP", "クリップY", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_CLIPWIDTH", "クリップ幅", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_CLIPHEIGHT", "クリップ高さ", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_DURATION", "持続時間", TPropType::ptInt, 0, K(Par) | K(Gau), 0, 0},
    {"PR_THUMBSOURCE", "つまみ画像", TPropType::ptStr, 0, K(Sld) | K(Scb), 0, 0},
    {"PR_BUTTONSOURCE", "ボタン画像", TPropType::ptStr, 0, K(Sld) | K(Scb), 0, 0},
    {"PR_MIN", "最小値", TPropType::ptInt, 0, K(Sld) | K(Scb) | K(Gau), 0, 0},
    {"PR_MAX", "最大値", TPropType::ptInt, 0, K(Sld) | K(Scb) | K(Gau), 0, 0},
    {"PR_VALUE", "値", TPropType::ptInt, 0, K(Sld) | K(Scb) | K(Gau), 0, 0},
    {"PR_ORIENTATION", "方向", TPropType::ptInt, 0, K(Sld) | K(Scb) | K(Gau), 0, 0},
    {"PR_SMALLCHANGE", "変化量", TPropType::ptInt, 1, K(Sld) | K(Scb), 0, 0},
    {"PR_LARGECHANGE", "大きい変化量", TPropType::ptInt, 1, K(Scb), 0, 0},
    {"PR_MAPTEXT", "マップテキスト", TPropType::ptStr, 0, K(CGL), 0, 0},
    {"PR_GLYPHWIDTH", "１個の幅", TPropType::ptInt, 0, K(CGL), 0, 0},
    {"PR_GLYPHHEIGHT", "１個の高さ", TPropType::ptInt, 0, K(CGL), 0, 0},
    {"PR_ZOOMY", "ズームY", TPropType::ptInt, 256,
     K(Btn) | K(Fir) | K(Img) | K(Lbl) | K(Vid) | K(Til), 0, 0},
    {"PR_CLICKEDSOURCE", "クリック後の画像", TPropType::ptStr, 0, K(Btn), 0, 0},
    {"PR_ANIPAUSED", "動画停止", TPropType::ptBool, 0, K(Snd), 0, kCtl},
    {"PR_ONHOLD", "ホールド", TPropType::ptStr, 0, K(Sld) | K(Scb), 0, 0},
    {"PR_ONRELEASE", "リリース", TPropType::ptStr, 0, K(Sld) | K(Scb), 0, 0},
    {"PR_REVERSE", "逆方向", TPropType::ptBool, 0, K(Gau), 0, 0},
    {"PR_PLAYING", "再生中", TPropType::ptBool, 0, K(Snd) | K(PrM), 0, kRO | kCtl},
    {"PR_REWINDONLOAD", "ロード時巻き戻し", TPropType::ptBool, 1, K(Cin) | K(Vid) | K(Snd), 0, 0},
    {"PR_COMPOTYPE", "コンポーネントの種類", TPropType::ptInt, 0, 0, 0, kRO | kAll},
    {"PR_FONTSHADOWCOLOR", "フォントの影の色", TPropType::ptInt, 0, K(Mnu) | K(Mes), 0, 0},
    {"PR_FONTBORDER", "フォントの縁の幅", TPropType::ptInt, 0, K(Mnu) | K(Mes), 0, 0},
    {"PR_FONTSHADOW", "フォントの影の位置", TPropType::ptInt, 0, K(Mnu) | K(Mes), 0, 0},
    {"PR_ONKEYDOWN", "キーダウン", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONKEYUP", "キーアップ", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONKEYREPEAT", "キーリピート", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_HANDLEKEY", "キー処理", TPropType::ptBool, 0, 0, 0, kCtl},
    {"PR_ONFOCUSIN", "フォーカスイン", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_ONFOCUSOUT", "フォーカスアウト", TPropType::ptStr, 0, 0, 0, kCtl},
    {"PR_OVERLAY", "オーバーレイ", TPropType::ptBool, 1, K(Vid), 0, 0},
    {"PR_TAG", "タグ", TPropType::ptStr, 0, 0, 0, kAll},
    {"PR_CAPTURELINK", "マウス判定を\r\nリンク文字のみ", TPropType::ptBool, 0, K(Mes), 0, 0},
    {"PR_FONTHOVERBORDER", "マウスオーバー時の\r\nフォントの縁の幅", TPropType::ptInt, 0, K(Mnu), 0,
     0},
    {"PR_FONTHOVERBORDERCOLOR", "マウスオーバー時の\r\nフォントの縁の色", TPropType::ptInt, 0,
     K(Mnu), 0, 0},
    {"PR_FONTHOVERSHADOW", "マウスオーバー時の\r\nフォントの影の位置", TPropType::ptInt, 0, K(Mnu),
     0, 0},
    {"PR_FONTHOVERSHADOWCOLOR", "マウスオーバー時の\r\nフォントの影の色", TPropType::ptInt, 0,
     K(Mnu), 0, 0},
    {"PR_BARSIZE", "バーの長さ", TPropType::ptInt, 0, K(Sld) | K(Scb) | K(Gau), 0, 0},
    {"PR_MUTEONLOAD", "ロード時ミュート", TPropType::ptBool, 0, K(Cin) | K(Vid) | K(Snd), 0, 0},
    {"PR_PLUSX", "X座標加算値", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_PLUSY", "Y座標加算値", TPropType::ptInt, 0, 0, 0, kCtl},
    {"PR_CARETHEIGHT", "キャレットの高さ", TPropType::ptInt, 0, K(Mes), 0, kRO},
    {"PR_REPEATPOS", "リピート位置", TPropType::ptInt, 0, K(Snd), 0, 0},
    {"PR_BLURSPAN", "残像発生時間", TPropType::ptInt, 0, K(Box) | K(Btn) | K(Img) | K(Vid) | K(Til),
     0, 0},
    {"PR_BLURDELAY", "残像消滅時間", TPropType::ptInt, 0,
     K(Box) | K(Btn) | K(Img) | K(Vid) | K(Til), 0, 0},
}};

#undef K

constexpr std::array<const char*, kTypeCodeCount> kTypeIdents = {
    "LT_NONE",    "LT_AUDIO",    "LT_BOX",        "LT_BUTTON", "LT_CINEMA",    "LT_EDIT",
    "LT_FIRE",    "LT_HTTP",     "LT_IMAGES",     "LT_LABEL",  "LT_MAP",       "LT_MEMO",
    "LT_MENU",    "LT_MES",      "LT_PARTICLE",   "LT_TIMER",  "LT_VIDEO",     "LT_SOUND",
    "LT_MAPIMG",  "LT_WAVE",     "LT_TILE",       "LT_SLIDER", "LT_SCROLLBAR", "LT_GAUGE",
    "LT_CGLABEL", "LT_PREVMENU", "LT_PROPMOTION", "LT_CABINET"};

constexpr std::array<const char*, kTypeCodeCount> kTypeNames = {"なし",
                                                                "オーディオ",
                                                                "矩形サーフェス",
                                                                "ボタン",
                                                                "シネマサーフェス",
                                                                "エディット",
                                                                "炎サーフェス",
                                                                "HTTP",
                                                                "画像サーフェス",
                                                                "キャプション",
                                                                "マップ",
                                                                "メモ",
                                                                "メニュー",
                                                                "メッセージボックス",
                                                                "パーティクルサーフェス",
                                                                "タイマー",
                                                                "ムービー",
                                                                "サウンド",
                                                                "選択画像",
                                                                "ウェーブサーフェス",
                                                                "タイルサーフェス",
                                                                "スライダー",
                                                                "スクロールバー",
                                                                "ゲージ",
                                                                "画像キャプション",
                                                                "プレビューメニュー",
                                                                "プロパティモーション",
                                                                "キャビネット"};

template <size_t N>
std::unordered_map<std::string_view, int> MakeIndex(const std::array<const char*, N>& names) {
  std::unordered_map<std::string_view, int> m;
  for (size_t i = 0; i < N; ++i) m.emplace(names[i], static_cast<int>(i));
  return m;
}

}  // namespace

const TPropInfo& PropInfo(uint8_t code) {
  return kProps[code < kPropCount ? code : 0];
}

int PropCodeOf(std::string_view ident) {
  static const auto index = [] {
    std::unordered_map<std::string_view, int> m;
    for (int i = 0; i < kPropCount; ++i) m.emplace(kProps[i].Ident, i);
    return m;
  }();
  auto it = index.find(ident);
  return it == index.end() ? -1 : it->second;
}

std::string PropDisplayName(uint8_t code) {
  return platform::Utf8ToCp932(PropInfo(code).DisplayUtf8);
}

bool IsEventProp(uint8_t code) {
  return code < kPropCount && std::string_view(kProps[code].Ident).substr(0, 5) == "PR_ON";
}

const char* TypeCodeIdent(uint8_t type) {
  return kTypeIdents[type < kTypeCodeCount ? type : 0];
}

int TypeCodeOf(std::string_view ident) {
  static const auto index = MakeIndex(kTypeIdents);
  auto it = index.find(ident);
  return it == index.end() ? -1 : it->second;
}

std::string TypeCodeDisplayName(uint8_t type) {
  return platform::Utf8ToCp932(kTypeNames[type < kTypeCodeCount ? type : 0]);
}

}  // namespace quen
