// The printer models this installer knows: fixed, read-only tables built
// into the program, and the rules that turn a model index into the rows
// that are installed. Every lookup is range-checked: an index that reaches
// no row yields nothing, never a read past a table.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace app::catalogue {

constexpr int kReceiptModelCount = 38;  // 15 + 7 + 5 + 11
constexpr int kLabelModelCount = 5;
constexpr int kModelCount = kReceiptModelCount + kLabelModelCount;
constexpr int kReceiptBaseCount = 46;  // 8 rendering bases, then 38 GPD bases
constexpr int kGpdBaseOffset = 8;
constexpr int kLabelFileCount = 30;
constexpr int kFourthBlockFirstRow = 27;

constexpr std::array<const char*, kReceiptModelCount> kReceiptDisplayNames = {
    "4720 Series",
    "4740 Series",
    "4790 Series",
    "4760 Series",
    "4780 Series",
    "4780X Series",
    "47F Series",
    "47130 Series",
    "47120 Series",
    "47120M Series",
    "H47120 Series",
    "47N Series",
    "47L Series",
    "3130TF(Receipt)",
    "DT370",
    "6924 Series",
    "6954(No Cut) Series",
    "6954(Cut) Series",
    "6954D Series",
    "6924K Series",
    "lyn4(No Cut) Series",
    "lyn4(Cut) Series",
    "6924IIIBM",
    "6954BM",
    "6954IIBM",
    "6954IIIBM",
    "lyn4BM",
    "KV6X",
    "KV6XA",
    "KV7X",
    "KV719E",
    "KV719SU",
    "KV734X",
    "KV720X",
    "WX6X",
    "WX6XA",
    "WX7X",
    "WX720X",
};

constexpr std::array<const char*, kReceiptBaseCount> kReceiptBaseNames = {
    // Rendering plug-in DLL bases.
    "QZ47N",
    "QZ69N",
    "QZ69K",
    "QZ69BM",
    "QZ70N",
    "NR100",
    "NR1001",
    "PKV",
    // GPD bases of display rows 0 to 37.
    "QZ4720",
    "QZ4740",
    "QZ4790",
    "QZ4760",
    "QZ4780",
    "QZ4780X",
    "QZ4780X",
    "QZ47130",
    "QZ47120",
    "QZ47120M",
    "QZH47120",
    "QZ47N",
    "QZ47L",
    "QZ3130TF",
    "DT370",
    "QZ6924",
    "QZ6954nocut",
    "QZ6954cut",
    "QZ6954D",
    "QZ6924K",
    "lyn4nocut",
    "lyn4cut",
    "QZ6924IIIBM",
    "QZ6954BM",
    "QZ6954IIBM",
    "QZ6954IIIBM",
    "lyn4BM",
    "KV6X",
    "KV6XA",
    "KV7X",
    "KV719E",
    "KV719SU",
    "KV734X",
    "KV720X",
    "WX6X",
    "WX6XA",
    "WX7X",
    "WX720X",
};

constexpr int kRenderingQz70n = 4;
constexpr int kRenderingPkv = 7;

constexpr std::array<const char*, 6> kUnidrvFiles = {
    "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP", "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD",
};

constexpr std::array<const char*, kLabelModelCount> kLabelDisplayNames = {
    "3130TF(Label)", "3130T(Label)", "47T(Label)", "3130TL(Label)", "A72I(Label)",
};

constexpr std::array<const char*, kLabelModelCount> kLabelBaseNames = {
    "QZ313TF", "QZ313T", "QZ47T", "QZ313TL", "QZA72I",
};

// Row 0 language monitor, row 1 rendering DLL, row 2 user interface,
// rows 3 to 29 language resources.
constexpr std::array<const char*, kLabelFileCount> kLabelFilesX86 = {
    "zqaNLMNT.dll", "VLTDRV50.DLL", "VLTUI50.DLL",  "VLTENG50.DLL", "VLTSLO50.DLL", "VLTCRO50.DLL",
    "VLTGER50.DLL", "VLTDAN50.DLL", "VLTFRA50.DLL", "VLTSPA50.DLL", "VLTITA50.DLL", "VLTFIN50.DLL",
    "VLTDUT50.DLL", "VLTCZE50.DLL", "VLTPOL50.DLL", "VLTHUN50.DLL", "VLTRUS50.DLL", "VLTTUR50.DLL",
    "VLTSWE50.DLL", "VLTHEB50.DLL", "VLTSVK50.DLL", "VLTLIT50.DLL", "VLTCHI50.DLL", "VLTSCH50.DLL",
    "VLTTAI50.DLL", "VLTKOR50.DLL", "VLTJAP50.DLL", "VLTUKR50.DLL", "VLTNOR50.DLL", "VLTPBR50.DLL",
};

constexpr std::array<const char*, kLabelFileCount> kLabelFilesX64 = {
    "zqaNLM64.dll", "VLTDRV56.DLL", "VLTUI56.DLL",  "VLTENG56.DLL", "VLTSLO56.DLL", "VLTCRO56.DLL",
    "VLTGER56.DLL", "VLTDAN56.DLL", "VLTFRA56.DLL", "VLTSPA56.DLL", "VLTITA56.DLL", "VLTFIN56.DLL",
    "VLTDUT56.DLL", "VLTCZE56.DLL", "VLTPOL56.DLL", "VLTHUN56.DLL", "VLTRUS56.DLL", "VLTTUR56.DLL",
    "VLTSWE56.DLL", "VLTHEB56.DLL", "VLTSVK56.DLL", "VLTLIT56.DLL", "VLTCHI56.DLL", "VLTSCH56.DLL",
    "VLTTAI56.DLL", "VLTKOR56.DLL", "VLTJAP56.DLL", "VLTUKR56.DLL", "VLTNOR56.DLL", "VLTPBR56.DLL",
};

constexpr const char* kLabelHelpFile = "THERMAL.chm";
constexpr std::array<const char*, 3> kLabelDataExtensions = {".BA0", ".DAT", ".PP0"};
constexpr const char* kReceiptPluginBase = "QOEMUNI";

// The four receipt block sizes; the dialog carries them as fields.
struct ReceiptBlocks {
    int g1 = 15;
    int g2 = 7;
    int g3 = 5;
    int g4 = 11;
    int Total() const { return g1 + g2 + g3 + g4; }
};

enum class DriverFamily { Receipt, Label };

// Receipt below the sum of the block sizes (signed), label otherwise.
DriverFamily FamilyOf(int modelIndex, const ReceiptBlocks& blocks);

// The rows a receipt model index resolves to.
struct ReceiptModel {
    int displayRow = 0;
    int gpdBaseRow = 0;
    const char* driverName = nullptr;
    const char* gpdBase = nullptr;
    const char* renderingBase = nullptr;
    // Drivers of the fourth block carry the rendering plug-in as well.
    bool withPlugin = false;
};

// `driverListText` is the text of the driver list, which picks the
// rendering base for two of the blocks. Nothing for an index whose rows
// lie outside the tables (negative indexes and 11 to 14 among them).
std::optional<ReceiptModel> ResolveReceiptModel(int modelIndex, const ReceiptBlocks& blocks,
                                                const std::string& driverListText);

struct LabelModel {
    int row = 0;
    const char* driverName = nullptr;
    const char* baseName = nullptr;
};

// Nothing for an index that is not 38 to 42.
std::optional<LabelModel> ResolveLabelModel(int modelIndex, const ReceiptBlocks& blocks);

// The display name the model index stands for in a full catalogue (the
// sample driver-name list offers exactly these, in index order).
const char* CatalogueName(int modelIndex);

}  // namespace app::catalogue
