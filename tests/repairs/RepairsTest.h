#pragma once
// What the repair windows' tests share: a few repairs beside the
// seeded one (200: kind "Средний", item 102 "HP LaserJet 5100" of "Экономический", cause
// "выход из стоя картриджа", 25.06.2004 to 12.07.2004).
#include "LoggedIn.h"
#include "TestSupport.h"

namespace RepairsTest {

// 301: item 301 without a department; 302: no kind and no item; 303: no cause; 304: an
// empty cause. Items 101 and 301, kinds 11 "Текущий".
inline void addRepairs(const TestDb &db)
{
    db.query(QStringLiteral("insert into izdel (id, Name, Seria, Nomer) values (301, 'Ricoh SP 100', 'R-1', '77')"));
    db.query(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Prichina, Nach_rem) "
                            "values (301, 11, 301, 'замена барабана', '2024-03-01 00:00:00')"));
    db.query(QStringLiteral(
        "insert into remont (id, Prichina, Nach_rem) values (302, 'Профилактика', '2024-03-02 00:00:00')"));
    db.query(QStringLiteral(
        "insert into remont (id, Kod_vida, Kod_izd, Nach_rem) values (303, 11, 101, '2024-03-03 00:00:00')"));
    db.query(QStringLiteral("insert into remont (id, Kod_vida, Kod_izd, Prichina, Nach_rem) "
                            "values (304, 11, 101, '', '2024-03-04 00:00:00')"));
}

}  // namespace RepairsTest
