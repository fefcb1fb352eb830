#include "screens/urllayout.h"

namespace screens {

namespace {

// Copies of the boxes: a layout reads and writes its controls through these
// and never holds a reference into the hash while it grows.
Box Get(const QHash<QString, Box> &b, const char *name) {
    return b.value(QLatin1String(name));
}

void Set(QHash<QString, Box> &b, const char *name, const Box &box) {
    b.insert(QLatin1String(name), box);
}

// The two buttons of a panel: the main one centred on the panel's fields,
// Back 6 % of the panel's width to the right of it.
void PlaceButtons(QHash<QString, Box> &b, const Box &field, const Box &firstLabel,
                  const char *button, const char *back, const Box &panel) {
    Box main = Get(b, button);
    main.left = (field.left + field.width - firstLabel.left) / 2.0f - main.width;
    Set(b, button, main);
    Box cancel = Get(b, back);
    cancel.left = panel.width * 6.0f / 100.0f + main.left + main.width;
    Set(b, back, cancel);
}

} // namespace

void ApplyUrlCaptionWidth(QHash<QString, Box> &b, const QString &caption, float points) {
    Box label = Get(b, "lblUrlCat");
    label.width = TW(caption, points);
    Set(b, "lblUrlCat", label);
    Box combo = Get(b, "cmbUrlCat");
    combo.left = label.left + label.width;
    Set(b, "cmbUrlCat", combo);
}

void LayoutUrlAddPanel(QHash<QString, Box> &b) {
    Box lblUrlAdd = Get(b, "lblUrlAdd");
    lblUrlAdd.width = Get(b, "lblUrlCat").width;
    Set(b, "lblUrlAdd", lblUrlAdd);
    Box lblUrlAddCh = Get(b, "lblUrlAddCh");
    lblUrlAddCh.width = lblUrlAdd.width;
    Set(b, "lblUrlAddCh", lblUrlAddCh);
    Box txtUrlAdd = Get(b, "txtUrlAdd");
    txtUrlAdd.left = lblUrlAdd.left + lblUrlAdd.width;
    Set(b, "txtUrlAdd", txtUrlAdd);
    Box txtUrlAddCh = Get(b, "txtUrlAddCh");
    txtUrlAddCh.left = txtUrlAdd.left;
    Set(b, "txtUrlAddCh", txtUrlAddCh);
    Box saved = Get(b, "lblUrlAddSaved");
    saved.left = txtUrlAdd.left;
    Set(b, "lblUrlAddSaved", saved);
    PlaceButtons(b, txtUrlAddCh, lblUrlAddCh, "cmdUrlAdd", "cmdUrlAddCncl", Get(b, "pctUrlAdd"));
}

void LayoutUrlDelPanel(QHash<QString, Box> &b) {
    Box cmbUrlDel = Get(b, "cmbUrlDel");
    cmbUrlDel.left = Get(b, "lblUrlCat").width;
    Set(b, "cmbUrlDel", cmbUrlDel);
    PlaceButtons(b, cmbUrlDel, Get(b, "lblUrlDel"), "cmdUrlDel", "cmdUrlDelCncl",
                 Get(b, "pctUrlDel"));
}

void LayoutUrlModPanel(QHash<QString, Box> &b) {
    Box lblUrlMod = Get(b, "lblUrlMod");
    lblUrlMod.width = Get(b, "lblUrlCat").width;
    Set(b, "lblUrlMod", lblUrlMod);
    Box cmbUrlMod = Get(b, "cmbUrlMod");
    cmbUrlMod.width = Get(b, "cmbUrlCat").width;
    cmbUrlMod.left = lblUrlMod.left + lblUrlMod.width;
    Set(b, "cmbUrlMod", cmbUrlMod);
    Box lblUrlModCh = Get(b, "lblUrlModCh");
    lblUrlModCh.width = lblUrlMod.width;
    Set(b, "lblUrlModCh", lblUrlModCh);
    Box txtUrlMod = Get(b, "txtUrlMod");
    txtUrlMod.width = cmbUrlMod.width;
    txtUrlMod.left = lblUrlModCh.left + lblUrlModCh.width;
    Set(b, "txtUrlMod", txtUrlMod);
    Box saved = Get(b, "lblUrlModSaved");
    saved.width = txtUrlMod.width;
    saved.left = txtUrlMod.left;
    Set(b, "lblUrlModSaved", saved);
    Box lblUrlModDesc = Get(b, "lblUrlModDesc");
    lblUrlModDesc.width = lblUrlMod.width;
    Set(b, "lblUrlModDesc", lblUrlModDesc);
    Box txtUrlModDesc = Get(b, "txtUrlModDesc");
    txtUrlModDesc.width = txtUrlMod.width;
    txtUrlModDesc.left = txtUrlMod.left;
    Set(b, "txtUrlModDesc", txtUrlModDesc);
    PlaceButtons(b, txtUrlModDesc, lblUrlModCh, "cmdUrlMod", "cmdUrlModCncl", Get(b, "pctUrlMod"));
}

} // namespace screens
