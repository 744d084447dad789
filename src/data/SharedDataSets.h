#pragma once
// The datasets that several windows share, owned by the data module: the directories, the
// equipment, the users and the requests. They are opened by the windows (or by the lookups)
// that need them and stay open until a window closes them.
#include <QString>

class Tdm;
class TDataSet;

class SharedDataSets {
public:
    TDataSet *TblOtdel = nullptr;         // otdel
    TDataSet *TblStates = nullptr;        // States
    TDataSet *TblOperations = nullptr;    // Operations
    TDataSet *Tblresurs = nullptr;        // resurs
    TDataSet *Tblvidu = nullptr;          // vidu
    TDataSet *TblUsers = nullptr;         // users
    TDataSet *Tblzajav = nullptr;         // zajav, with its item, state and department lookups
    TDataSet *TblIsdel = nullptr;         // izdel, with its department lookup
    TDataSet *TblZStates = nullptr;       // zaj_states
    TDataSet *TableRemOpState = nullptr;  // RemOpState

    // New-record handlers: the key from the counter named by the dataset's table, stored
    // in its field "id" (any letter case); a request also gets today's date.
    void TblNewRec(TDataSet &dataSet);
    void TblzajavNewRecord(TDataSet &dataSet);

protected:
    void createSharedDataSets(Tdm *owner);

private:
    Tdm *m_owner = nullptr;
};
