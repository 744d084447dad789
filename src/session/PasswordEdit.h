#pragma once
// The password edits of the session dialogs.
class QLineEdit;

// Masks the edit: every typed character shows as "*", whatever mark the desktop's style
// would put in its place.
void makePasswordEdit(QLineEdit *edit);
