#include "base/model_catalogue.h"

namespace app::catalogue {
namespace {

bool DriverNameIsFourthBlock(const char* name) {
    const std::string text(name);
    for (int row = kFourthBlockFirstRow; row < kReceiptModelCount; ++row) {
        if (text == kReceiptDisplayNames[row]) return true;
    }
    return false;
}

std::optional<ReceiptModel> Rows(int displayRow, int gpdBaseRow, const char* renderingBase) {
    if (displayRow < 0 || displayRow >= kReceiptModelCount) return std::nullopt;
    if (gpdBaseRow < kGpdBaseOffset || gpdBaseRow >= kReceiptBaseCount) return std::nullopt;
    ReceiptModel model;
    model.displayRow = displayRow;
    model.gpdBaseRow = gpdBaseRow;
    model.driverName = kReceiptDisplayNames[displayRow];
    model.gpdBase = kReceiptBaseNames[gpdBaseRow];
    model.renderingBase = renderingBase;
    model.withPlugin = DriverNameIsFourthBlock(model.driverName);
    return model;
}

}  // namespace

DriverFamily FamilyOf(int modelIndex, const ReceiptBlocks& blocks) {
    return modelIndex < blocks.Total() ? DriverFamily::Receipt : DriverFamily::Label;
}

std::optional<ReceiptModel> ResolveReceiptModel(int i, const ReceiptBlocks& b,
                                                const std::string& driverListText) {
    const char* pkv = kReceiptBaseNames[kRenderingPkv];
    const char* qz70n = kReceiptBaseNames[kRenderingQz70n];
    if (i < 0) return std::nullopt;
    if (i < b.g1) return Rows(27 + i, 35 + i, pkv);
    if (i < b.g2 + b.g4) {
        return Rows(15 + i - b.g4, 35 + i - b.g4, driverListText == "PKV Series" ? pkv : qz70n);
    }
    if (i < b.g1 + b.g2 + b.g3) return Rows(27 + i - b.g1 - b.g2, 35 + i - b.g1 - b.g2, qz70n);
    if (i < b.Total()) {
        const int k = i - b.g1 - b.g2 - b.g3;
        return Rows(27 + k, 35 + k, driverListText == "KV6X" ? pkv : qz70n);
    }
    return std::nullopt;
}

std::optional<LabelModel> ResolveLabelModel(int modelIndex, const ReceiptBlocks& blocks) {
    const int row = modelIndex - blocks.Total();
    if (modelIndex < blocks.Total() || row >= kLabelModelCount) return std::nullopt;
    return LabelModel{row, kLabelDisplayNames[row], kLabelBaseNames[row]};
}

const char* CatalogueName(int modelIndex) {
    if (modelIndex >= 0 && modelIndex < kReceiptModelCount) return kReceiptDisplayNames[modelIndex];
    const int row = modelIndex - kReceiptModelCount;
    if (row >= 0 && row < kLabelModelCount) return kLabelDisplayNames[row];
    return nullptr;
}

}  // namespace app::catalogue
