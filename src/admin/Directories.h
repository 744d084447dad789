#pragma once
// The reference directories (kinds of repair, states, resources, operations, departments):
// one list window each, made from a row of one table, with no class of its own. Their
// labels and widths are the data module's field definitions; the tables stay open.
#include "lists/ListWindowDecl.h"

enum class Directory { KlVidrem, KlStates, Resurs, KlAct, KlOtdels };

// The window of a directory: name (TFrmKlvidrem is "FrmKlvidrem"), caption, shared table.
ListWindowDecl directoryWindow(Directory directory);
