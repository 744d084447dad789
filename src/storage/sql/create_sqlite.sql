CREATE DATABASE [org_tech]
GO
use [org_tech]
GO
/* Creation script of the org_tech database, embedded (SQLite) dialect.
Batches end at a line GO and run one by one on one connection.
Keys and foreign keys are declared with their tables (SQLite cannot add them later);
their batches below only stand in their place. Foreign keys are checked once the
script is through. Character columns are NOCASE: the program's connection compares
them without regard to case for every letter; any SQLite tool can still open the file.
Sizes are checked, since SQLite does not hold a column to its declared size.
Date-times are text 'yyyy-MM-dd hh:mm:ss.zzz', so that text order is time order.
Seeded users and their passwords: SYS ADMIN / a, P / p, D / d, R / r. */
CREATE TABLE LogAction (
    id tinyint NOT NULL,
    Name varchar(30) COLLATE NOCASE CHECK (length(Name) <= 30),
    CONSTRAINT PK_LogAction PRIMARY KEY (id)
)
GO
CREATE TABLE Operations (
    id int NOT NULL,
    Name varchar(30) COLLATE NOCASE CHECK (length(Name) <= 30),
    CONSTRAINT PK_Operations PRIMARY KEY (id)
)
GO
CREATE TABLE RemOpState (
    id int NOT NULL,
    StateName varchar(15) COLLATE NOCASE CHECK (length(StateName) <= 15),
    CONSTRAINT PK_RemOpState PRIMARY KEY (id)
)
GO
CREATE TABLE States (
    id int NOT NULL,
    Name varchar(30) COLLATE NOCASE CHECK (length(Name) <= 30),
    CONSTRAINT PK_States PRIMARY KEY (id)
)
GO
CREATE TABLE UserLog (
    dt datetime NOT NULL,
    usr int,
    LogAction tinyint,
    CONSTRAINT PK_Log PRIMARY KEY (dt),
    CONSTRAINT FK_UserLog_LogAction FOREIGN KEY (LogAction) REFERENCES LogAction (id) ON DELETE CASCADE,
    CONSTRAINT FK_UserLog_users FOREIGN KEY (usr) REFERENCES users (ID) ON DELETE CASCADE
)
GO
CREATE TABLE ids (
    TblName varchar(20) COLLATE NOCASE NOT NULL CHECK (length(TblName) <= 20),
    LastId int,
    PRIMARY KEY (TblName)
)
GO
CREATE TABLE izdel (
    id int NOT NULL,
    Name varchar(30) COLLATE NOCASE CHECK (length(Name) <= 30),
    Proizvod varchar(30) COLLATE NOCASE CHECK (length(Proizvod) <= 30),
    D_vup datetime,
    Seria varchar(12) COLLATE NOCASE CHECK (length(Seria) <= 12),
    Nomer varchar(15) COLLATE NOCASE CHECK (length(Nomer) <= 15),
    CurState int,
    otdel int,
    D_pred datetime,
    D_sled datetime,
    D_otpr datetime,
    D_poluh datetime,
    form char(3) COLLATE NOCASE CHECK (length(form) <= 3),
    Info text COLLATE NOCASE,
    Resurs char(10) COLLATE NOCASE CHECK (length(Resurs) <= 10),
    CONSTRAINT PK_izdel PRIMARY KEY (id),
    CONSTRAINT FK_izdel_otdel FOREIGN KEY (otdel) REFERENCES otdel (id) ON DELETE CASCADE,
    CONSTRAINT FK_izdel_States FOREIGN KEY (CurState) REFERENCES States (id) ON DELETE CASCADE
)
GO
CREATE TABLE otdel (
    id int NOT NULL,
    Name varchar(65) COLLATE NOCASE CHECK (length(Name) <= 65),
    CONSTRAINT PK_otdel PRIMARY KEY (id)
)
GO
CREATE TABLE rem_op (
    rem_id int NOT NULL,
    op_id int NOT NULL,
    dt datetime,
    State int,
    CONSTRAINT PK_rem_op PRIMARY KEY (rem_id, op_id),
    CONSTRAINT FK_rem_op_Operations FOREIGN KEY (op_id) REFERENCES Operations (id) ON DELETE CASCADE,
    CONSTRAINT FK_rem_op_remont FOREIGN KEY (rem_id) REFERENCES remont (id) ON DELETE CASCADE,
    CONSTRAINT FK_rem_op_RemOpState FOREIGN KEY (State) REFERENCES RemOpState (id) ON DELETE NO ACTION
)
GO
CREATE TABLE rem_res (
    rem_id int NOT NULL,
    res_id int NOT NULL,
    cnt float,
    CONSTRAINT PK_rem_res PRIMARY KEY (rem_id, res_id),
    CONSTRAINT FK_rem_res_remont FOREIGN KEY (rem_id) REFERENCES remont (id) ON DELETE CASCADE,
    CONSTRAINT FK_rem_res_resurs FOREIGN KEY (res_id) REFERENCES resurs (id) ON DELETE CASCADE
)
GO
CREATE TABLE remont (
    id int NOT NULL,
    Kod_vida int,
    Kod_izd int,
    Otdel varchar(30) COLLATE NOCASE CHECK (length(Otdel) <= 30),
    Prichina varchar(30) COLLATE NOCASE CHECK (length(Prichina) <= 30),
    Nach_rem datetime,
    Okonh_rem datetime,
    Specialist varchar(20) COLLATE NOCASE CHECK (length(Specialist) <= 20),
    CONSTRAINT PK_remont PRIMARY KEY (id),
    CONSTRAINT FK_remont_izdel FOREIGN KEY (Kod_izd) REFERENCES izdel (id) ON DELETE CASCADE,
    CONSTRAINT FK_remont_vidu FOREIGN KEY (Kod_vida) REFERENCES vidu (id) ON DELETE CASCADE
)
GO
CREATE TABLE resurs (
    id int NOT NULL,
    Name varchar(30) COLLATE NOCASE CHECK (length(Name) <= 30),
    Ed_izmer varchar(12) COLLATE NOCASE CHECK (length(Ed_izmer) <= 12),
    CONSTRAINT PK_resurs PRIMARY KEY (id)
)
GO
CREATE TABLE users (
    ID int NOT NULL,
    login varchar(20) COLLATE NOCASE CHECK (length(login) <= 20),
    passw varchar(20) COLLATE NOCASE CHECK (length(passw) <= 20),
    tp char(1) COLLATE NOCASE CHECK (length(tp) <= 1),
    LastEnter datetime,
    PRIMARY KEY (ID)
)
GO
CREATE TABLE vidu (
    id int NOT NULL,
    Name varchar(30) COLLATE NOCASE CHECK (length(Name) <= 30),
    CONSTRAINT PK_vidu PRIMARY KEY (id)
)
GO
CREATE TABLE zaj_states (
    id int NOT NULL,
    StateName varchar(30) COLLATE NOCASE CHECK (length(StateName) <= 30),
    CONSTRAINT PK_zaj_states PRIMARY KEY (id)
)
GO
CREATE TABLE zajav (
    id int NOT NULL,
    izd int,
    Otdel int,
    Opis varchar(50) COLLATE NOCASE CHECK (length(Opis) <= 50),
    Data datetime,
    Prim text COLLATE NOCASE,
    State int,
    fio varchar(30) COLLATE NOCASE CHECK (length(fio) <= 30),
    Phone varchar(13) COLLATE NOCASE CHECK (length(Phone) <= 13),
    MayBy varchar(50) COLLATE NOCASE CHECK (length(MayBy) <= 50),
    CONSTRAINT PK_zajav PRIMARY KEY (id),
    CONSTRAINT FK_zajav_izdel FOREIGN KEY (izd) REFERENCES izdel (id) ON DELETE NO ACTION,
    CONSTRAINT FK_zajav_zaj_states FOREIGN KEY (State) REFERENCES zaj_states (id) ON DELETE CASCADE
)
GO
CREATE TABLE exp_data (
    dt datetime NOT NULL,
    tp int,
    path varchar(255) COLLATE NOCASE CHECK (length(path) <= 255),
    CONSTRAINT PK_exp_data PRIMARY KEY (dt),
    CONSTRAINT FK_exp_data_kl_exp_tp FOREIGN KEY (tp) REFERENCES kl_exp_tp (id) ON DELETE NO ACTION
)
GO
CREATE TABLE kl_exp_tp (
    id int NOT NULL,
    Name varchar(25) COLLATE NOCASE CHECK (length(Name) <= 25),
    CONSTRAINT PK_kl_exp_tp PRIMARY KEY (id)
)
GO
/* table dbo.dtproperties*/
/* table dbo.ids*/
insert into ids values ('IZDEL',110)
GO
insert into ids values ('OPERATIONS',3)
GO
insert into ids values ('OTDEL',16)
GO
insert into ids values ('REMONT',201)
GO
insert into ids values ('RESURS',104)
GO
insert into ids values ('STATES',7)
GO
insert into ids values ('USERS',4)
GO
insert into ids values ('VIDU',22)
GO
insert into ids values ('ZAJAV',5)
GO
/* table dbo.izdel*/
insert into izdel values (101,'HP deskjet 1220','принтер','1999-05-20 00:00:00.000','В-64 21','134567',2,13,'2004-01-21 00:00:00.000',Null,Null,Null,'A4 ',Null,Null)
GO
insert into izdel values (102,'HP LaserJet 5100','принтер','1999-05-12 00:00:00.000','В- 45678','543767',1,12,Null,Null,Null,Null,'A1 ',Null,Null)
GO
insert into izdel values (103,'Canon 5530 D','принтер','2003-09-21 00:00:00.000','А - 67567879','432124',4,14,Null,Null,Null,Null,'A4 ','еле дышит пора сдавать в утиль',Null)
GO
insert into izdel values (104,'Epson Perfection 1270','сканер','2001-09-15 00:00:00.000','S - 234567','12345',3,13,Null,Null,Null,Null,'др.',Null,Null)
GO
insert into izdel values (105,'HP ScanJet 3690C','сканер','2003-04-01 00:00:00.000','В-5678432','1.23568e+006',2,11,Null,Null,Null,Null,'A4 ',Null,Null)
GO
insert into izdel values (106,'Xerox 5915','ксерокс','2000-03-12 00:00:00.000','G - 685432','458903',6,15,Null,Null,Null,Null,'A3 ',Null,Null)
GO
insert into izdel values (107,'Canon FC 336','сканер','2003-07-14 00:00:00.000','R-8765423','4.58932e+006',6,13,Null,Null,Null,Null,'A3 ',Null,Null)
GO
/* table dbo.LogAction*/
insert into LogAction values (1,'Вход в систему')
GO
insert into LogAction values (2,'Выход из системы')
GO
insert into LogAction values (3,'Смена пароля')
GO
/* table dbo.Operations*/
insert into Operations values (1,'Замена картриджа')
GO
insert into Operations values (2,'Заправка картриджа')
GO
/* table dbo.otdel*/
insert into otdel values (11,'Административный')
GO
insert into otdel values (12,'Экономический')
GO
insert into otdel values (13,'Плановый')
GO
insert into otdel values (14,'Технический')
GO
insert into otdel values (15,'Издательский')
GO
/* table dbo.rem_op*/
insert into rem_op values (200,1,Null,3)
GO
insert into rem_op values (200,2,'2005-05-18 10:53:28.000',2)
GO
/* table dbo.rem_res*/
insert into rem_res values (200,100,1)
GO
insert into rem_res values (200,103,1)
GO
/* table dbo.remont*/
insert into remont values (200,12,102,'Экономический','выход из стоя картриджа','2004-06-25 00:00:00.000','2004-07-12 00:00:00.000','Сидоренко')
GO
/* table dbo.RemOpState*/
insert into RemOpState values (1,'Еще не начато')
GO
insert into RemOpState values (2,'Выполняется')
GO
insert into RemOpState values (3,'Выполнено')
GO
/* table dbo.resurs*/
insert into resurs values (100,'Поршок для заправки','гр.')
GO
insert into resurs values (101,'Чернила','гр.')
GO
insert into resurs values (102,'Картридж','шт.')
GO
insert into resurs values (103,'Нагреват. элемент','шт.')
GO
/* table dbo.States*/
insert into States values (1,'Отличное')
GO
insert into States values (2,'Хорошее')
GO
insert into States values (3,'Удовлетворительное')
GO
insert into States values (4,'Еле дышит')
GO
insert into States values (5,'Списан')
GO
insert into States values (6,'Еще не открыли')
GO
/* table dbo.users*/
insert into users values (1,'SYS ADMIN','a','A','2005-05-18 13:33:38.000')
GO
insert into users values (2,'P','p','P',Null)
GO
insert into users values (3,'D','d','D',Null)
GO
insert into users values (4,'R','r','R',Null)
GO
/* table dbo.vidu*/
insert into vidu values (11,'Текущий')
GO
insert into vidu values (12,'Средний')
GO
insert into vidu values (13,'Капитальный')
GO
insert into vidu values (21,'Плановое')
GO
insert into vidu values (22,'По требованию')
GO
/* table dbo.zaj_states*/
insert into zaj_states values (0,'Закрыта')
GO
insert into zaj_states values (1,'Открыта')
GO
insert into zaj_states values (2,'Приостановлена')
GO
/* table dbo.zajav*/
insert into zajav values (4,101,13,'ere','2004-01-12 00:00:00.000','Закрыто :18.05.2005 10:16:52',0,Null,Null,Null)
GO
insert into zajav values (5,103,11,'fghfgh','2005-05-18 00:00:00.000',Null,2,Null,Null,Null)
GO
insert into kl_exp_tp values (1,'Полная архивация')
GO
insert into kl_exp_tp values (2,'Справочники')
GO
insert into kl_exp_tp values (3,'Данные')
GO
SELECT 'PK_exp_data: declared with the table'
GO
SELECT 'PK_kl_exp_tp: declared with the table'
GO
SELECT 'FK_exp_data_kl_exp_tp: declared with the table'
GO
SELECT 'PK_LogAction: declared with the table'
GO
SELECT 'PK_Operations: declared with the table'
GO
SELECT 'PK_RemOpState: declared with the table'
GO
SELECT 'PK_States: declared with the table'
GO
SELECT 'PK_Log: declared with the table'
GO
SELECT 'primary key of ids: declared with the table'
GO
SELECT 'PK_izdel: declared with the table'
GO
SELECT 'PK_otdel: declared with the table'
GO
SELECT 'PK_rem_op: declared with the table'
GO
SELECT 'PK_rem_res: declared with the table'
GO
SELECT 'PK_remont: declared with the table'
GO
SELECT 'PK_resurs: declared with the table'
GO
SELECT 'primary key of users: declared with the table'
GO
SELECT 'PK_vidu: declared with the table'
GO
SELECT 'PK_zaj_states: declared with the table'
GO
SELECT 'PK_zajav: declared with the table'
GO
CREATE UNIQUE INDEX izdel0 ON izdel (id)
GO
/* an index may not share its table's name here */
CREATE INDEX izdel_ix ON izdel (Name, Proizvod)
GO
CREATE UNIQUE INDEX otdel0 ON otdel (id)
GO
CREATE INDEX IX_rem_op ON rem_op (dt)
GO
CREATE UNIQUE INDEX remont0 ON remont (id)
GO
CREATE INDEX remont_ix ON remont (Kod_izd, Kod_vida)
GO
/* the repairs begun in a period, with their keys, without reading the table */
CREATE INDEX remont_nach ON remont (Nach_rem, id)
GO
CREATE UNIQUE INDEX resurs0 ON resurs (id)
GO
CREATE UNIQUE INDEX vidu0 ON vidu (id)
GO
CREATE UNIQUE INDEX zajav0 ON zajav (id)
GO
SELECT 'FK_UserLog_LogAction, FK_UserLog_users: declared with the table'
GO
SELECT 'FK_izdel_otdel, FK_izdel_States: declared with the table'
GO
SELECT 'FK_rem_op_Operations, FK_rem_op_remont, FK_rem_op_RemOpState: declared with the table'
GO
SELECT 'FK_rem_res_remont, FK_rem_res_resurs: declared with the table'
GO
SELECT 'FK_remont_izdel, FK_remont_vidu: declared with the table'
GO
SELECT 'FK_zajav_izdel, FK_zajav_zaj_states: declared with the table'
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE VIEW IzdList AS
SELECT a.id AS id, b.Name || ' : ' || a.Name || '(' || a.Seria || ',' || CAST(a.Nomer AS TEXT) || ') ' AS izd
FROM izdel a LEFT OUTER JOIN
otdel b ON b.id = a.otdel
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE VIEW VIEWLOG AS
SELECT UserLog.dt AS dt, users.login AS login, LogAction.Name AS Name
FROM UserLog INNER JOIN
    LogAction ON LogAction.id = UserLog.LogAction INNER JOIN
    users ON UserLog.usr = users.ID
ORDER BY UserLog.dt
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE VIEW VIEWTechOnOtdels AS
SELECT b.id AS Otdel, b.Name AS Name, a.Name || '(' || a.Seria || ',' || CAST(a.Nomer AS TEXT) || ') ' AS izd
FROM izdel a LEFT OUTER JOIN
otdel b ON b.id = a.otdel
ORDER BY b.Name
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE VIEW ViewLogins AS
select login from users
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS OFF
GO
SELECT 'AddToLog: performed by the data module'
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS OFF
GO
SELECT 'ChangePassword: performed by the data module'
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
/* процедура получения нового значения ключа */
SELECT 'GetId: performed by the data module'
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
SELECT 'GetLastLogin: performed by the data module'
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
SELECT 'LOGIN: performed by the data module'
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
/* the history of changes: one row per column an insert, change or delete touched, written
by the program's triggers in the change's own transaction (a password only as changed) */
CREATE TABLE history (
    id integer PRIMARY KEY,
    dt datetime NOT NULL,
    usr int,
    tblname varchar(20) NOT NULL,
    rowkey varchar(40) NOT NULL,
    action char(1) NOT NULL,
    field varchar(20) NOT NULL,
    was text,
    became text
)
GO
CREATE INDEX history_row ON history (tblname, rowkey, id)
GO
CREATE INDEX history_dt ON history (dt)
GO
