CREATE DATABASE [org_tech]
GO
use [org_tech]
GO
/* Creation script of the org_tech database, PostgreSQL dialect.
Batches end at a line GO and run one by one on one connection.
Character columns use the collation ci (ICU, und-u-ks-level2, nondeterministic:
case-insensitive, accent-sensitive), which the program creates right after the database.
Seeded users and their passwords: SYS ADMIN / a, P / p, D / d, R / r. */
CREATE TABLE logaction (
    id smallint NOT NULL,
    name varchar(30) COLLATE ci
)
GO
CREATE TABLE operations (
    id integer NOT NULL,
    name varchar(30) COLLATE ci
)
GO
CREATE TABLE remopstate (
    id integer NOT NULL,
    statename varchar(15) COLLATE ci
)
GO
CREATE TABLE states (
    id integer NOT NULL,
    name varchar(30) COLLATE ci
)
GO
CREATE TABLE userlog (
    dt timestamp(3) NOT NULL,
    usr integer,
    logaction smallint
)
GO
CREATE TABLE ids (
    tblname varchar(20) COLLATE ci NOT NULL,
    lastid integer
)
GO
CREATE TABLE izdel (
    id integer NOT NULL,
    name varchar(30) COLLATE ci,
    proizvod varchar(30) COLLATE ci,
    d_vup timestamp(3),
    seria varchar(12) COLLATE ci,
    nomer varchar(15) COLLATE ci,
    curstate integer,
    otdel integer,
    d_pred timestamp(3),
    d_sled timestamp(3),
    d_otpr timestamp(3),
    d_poluh timestamp(3),
    form char(3) COLLATE ci,
    info text COLLATE ci,
    resurs char(10) COLLATE ci
)
GO
CREATE TABLE otdel (
    id integer NOT NULL,
    name varchar(65) COLLATE ci
)
GO
CREATE TABLE rem_op (
    rem_id integer NOT NULL,
    op_id integer NOT NULL,
    dt timestamp(3),
    state integer
)
GO
CREATE TABLE rem_res (
    rem_id integer NOT NULL,
    res_id integer NOT NULL,
    cnt double precision
)
GO
CREATE TABLE remont (
    id integer NOT NULL,
    kod_vida integer,
    kod_izd integer,
    otdel varchar(30) COLLATE ci,
    prichina varchar(30) COLLATE ci,
    nach_rem timestamp(3),
    okonh_rem timestamp(3),
    specialist varchar(20) COLLATE ci
)
GO
CREATE TABLE resurs (
    id integer NOT NULL,
    name varchar(30) COLLATE ci,
    ed_izmer varchar(12) COLLATE ci
)
GO
CREATE TABLE users (
    id integer NOT NULL,
    login varchar(20) COLLATE ci,
    passw varchar(20) COLLATE ci,
    tp char(1) COLLATE ci,
    lastenter timestamp(3)
)
GO
CREATE TABLE vidu (
    id integer NOT NULL,
    name varchar(30) COLLATE ci
)
GO
CREATE TABLE zaj_states (
    id integer NOT NULL,
    statename varchar(30) COLLATE ci
)
GO
CREATE TABLE zajav (
    id integer NOT NULL,
    izd integer,
    otdel integer,
    opis varchar(50) COLLATE ci,
    data timestamp(3),
    prim text COLLATE ci,
    state integer,
    fio varchar(30) COLLATE ci,
    phone varchar(13) COLLATE ci,
    mayby varchar(50) COLLATE ci
)
GO
CREATE TABLE exp_data (
    dt timestamp(3) NOT NULL,
    tp integer,
    path varchar(255) COLLATE ci
)
GO
CREATE TABLE kl_exp_tp (
    id integer NOT NULL,
    name varchar(25) COLLATE ci
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
insert into izdel values (101,'HP deskjet 1220','принтер','1999-05-20 00:00:00','В-64 21','134567',2,13,'2004-01-21 00:00:00',Null,Null,Null,'A4',Null,Null)
GO
insert into izdel values (102,'HP LaserJet 5100','принтер','1999-05-12 00:00:00','В- 45678','543767',1,12,Null,Null,Null,Null,'A1',Null,Null)
GO
insert into izdel values (103,'Canon 5530 D','принтер','2003-09-21 00:00:00','А - 67567879','432124',4,14,Null,Null,Null,Null,'A4','еле дышит пора сдавать в утиль',Null)
GO
insert into izdel values (104,'Epson Perfection 1270','сканер','2001-09-15 00:00:00','S - 234567','12345',3,13,Null,Null,Null,Null,'др.',Null,Null)
GO
insert into izdel values (105,'HP ScanJet 3690C','сканер','2003-04-01 00:00:00','В-5678432','1.23568e+006',2,11,Null,Null,Null,Null,'A4',Null,Null)
GO
insert into izdel values (106,'Xerox 5915','ксерокс','2000-03-12 00:00:00','G - 685432','458903',6,15,Null,Null,Null,Null,'A3',Null,Null)
GO
insert into izdel values (107,'Canon FC 336','сканер','2003-07-14 00:00:00','R-8765423','4.58932e+006',6,13,Null,Null,Null,Null,'A3',Null,Null)
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
insert into rem_op values (200,2,'2005-05-18 10:53:28',2)
GO
/* table dbo.rem_res*/
insert into rem_res values (200,100,1)
GO
insert into rem_res values (200,103,1)
GO
/* table dbo.remont*/
insert into remont values (200,12,102,'Экономический','выход из стоя картриджа','2004-06-25 00:00:00','2004-07-12 00:00:00','Сидоренко')
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
insert into users values (1,'SYS ADMIN','a','A','2005-05-18 13:33:38')
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
insert into zajav values (4,101,13,'ere','2004-01-12 00:00:00','Закрыто :18.05.2005 10:16:52',0,Null,Null,Null)
GO
insert into zajav values (5,103,11,'fghfgh','2005-05-18 00:00:00',Null,2,Null,Null,Null)
GO
insert into kl_exp_tp values (1,'Полная архивация')
GO
insert into kl_exp_tp values (2,'Справочники')
GO
insert into kl_exp_tp values (3,'Данные')
GO
ALTER TABLE exp_data ADD CONSTRAINT PK_exp_data PRIMARY KEY (dt)
GO
ALTER TABLE kl_exp_tp ADD CONSTRAINT PK_kl_exp_tp PRIMARY KEY (id)
GO
ALTER TABLE exp_data ADD CONSTRAINT FK_exp_data_kl_exp_tp FOREIGN KEY (tp) REFERENCES kl_exp_tp (id) ON DELETE NO ACTION
GO
ALTER TABLE logaction ADD CONSTRAINT PK_LogAction PRIMARY KEY (id)
GO
ALTER TABLE operations ADD CONSTRAINT PK_Operations PRIMARY KEY (id)
GO
ALTER TABLE remopstate ADD CONSTRAINT PK_RemOpState PRIMARY KEY (id)
GO
ALTER TABLE states ADD CONSTRAINT PK_States PRIMARY KEY (id)
GO
ALTER TABLE userlog ADD CONSTRAINT PK_Log PRIMARY KEY (dt)
GO
ALTER TABLE ids ADD PRIMARY KEY (tblname)
GO
ALTER TABLE izdel ADD CONSTRAINT PK_izdel PRIMARY KEY (id)
GO
ALTER TABLE otdel ADD CONSTRAINT PK_otdel PRIMARY KEY (id)
GO
ALTER TABLE rem_op ADD CONSTRAINT PK_rem_op PRIMARY KEY (rem_id, op_id)
GO
ALTER TABLE rem_res ADD CONSTRAINT PK_rem_res PRIMARY KEY (rem_id, res_id)
GO
ALTER TABLE remont ADD CONSTRAINT PK_remont PRIMARY KEY (id)
GO
ALTER TABLE resurs ADD CONSTRAINT PK_resurs PRIMARY KEY (id)
GO
ALTER TABLE users ADD PRIMARY KEY (id)
GO
ALTER TABLE vidu ADD CONSTRAINT PK_vidu PRIMARY KEY (id)
GO
ALTER TABLE zaj_states ADD CONSTRAINT PK_zaj_states PRIMARY KEY (id)
GO
ALTER TABLE zajav ADD CONSTRAINT PK_zajav PRIMARY KEY (id)
GO
CREATE UNIQUE INDEX izdel0 ON izdel (id)
GO
/* an index may not share its table's name here */
CREATE INDEX izdel_ix ON izdel (name, proizvod)
GO
CREATE UNIQUE INDEX otdel0 ON otdel (id)
GO
CREATE INDEX IX_rem_op ON rem_op (dt)
GO
CREATE UNIQUE INDEX remont0 ON remont (id)
GO
CREATE INDEX remont_ix ON remont (kod_izd, kod_vida)
GO
/* the repairs begun in a period, with their keys, without reading the table */
CREATE INDEX remont_nach ON remont (nach_rem, id)
GO
CREATE UNIQUE INDEX resurs0 ON resurs (id)
GO
CREATE UNIQUE INDEX vidu0 ON vidu (id)
GO
CREATE UNIQUE INDEX zajav0 ON zajav (id)
GO
ALTER TABLE userlog
    ADD CONSTRAINT FK_UserLog_LogAction FOREIGN KEY (logaction) REFERENCES logaction (id) ON DELETE CASCADE,
    ADD CONSTRAINT FK_UserLog_users FOREIGN KEY (usr) REFERENCES users (id) ON DELETE CASCADE
GO
ALTER TABLE izdel
    ADD CONSTRAINT FK_izdel_otdel FOREIGN KEY (otdel) REFERENCES otdel (id) ON DELETE CASCADE,
    ADD CONSTRAINT FK_izdel_States FOREIGN KEY (curstate) REFERENCES states (id) ON DELETE CASCADE
GO
ALTER TABLE rem_op
    ADD CONSTRAINT FK_rem_op_Operations FOREIGN KEY (op_id) REFERENCES operations (id) ON DELETE CASCADE,
    ADD CONSTRAINT FK_rem_op_remont FOREIGN KEY (rem_id) REFERENCES remont (id) ON DELETE CASCADE,
    ADD CONSTRAINT FK_rem_op_RemOpState FOREIGN KEY (state) REFERENCES remopstate (id) ON DELETE NO ACTION
GO
ALTER TABLE rem_res
    ADD CONSTRAINT FK_rem_res_remont FOREIGN KEY (rem_id) REFERENCES remont (id) ON DELETE CASCADE,
    ADD CONSTRAINT FK_rem_res_resurs FOREIGN KEY (res_id) REFERENCES resurs (id) ON DELETE CASCADE
GO
ALTER TABLE remont
    ADD CONSTRAINT FK_remont_izdel FOREIGN KEY (kod_izd) REFERENCES izdel (id) ON DELETE CASCADE,
    ADD CONSTRAINT FK_remont_vidu FOREIGN KEY (kod_vida) REFERENCES vidu (id) ON DELETE CASCADE
GO
ALTER TABLE zajav
    ADD CONSTRAINT FK_zajav_izdel FOREIGN KEY (izd) REFERENCES izdel (id) ON DELETE NO ACTION,
    ADD CONSTRAINT FK_zajav_zaj_states FOREIGN KEY (state) REFERENCES zaj_states (id) ON DELETE CASCADE
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE VIEW izdlist AS
SELECT a.id AS id, b.name || ' : ' || a.name || '(' || a.seria || ',' || CAST(a.nomer AS varchar) || ') ' AS izd
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
CREATE VIEW viewlog AS
SELECT userlog.dt AS dt, users.login AS login, logaction.name AS name
FROM userlog INNER JOIN
logaction ON logaction.id = userlog.logaction INNER JOIN
    users ON userlog.usr = users.id
ORDER BY userlog.dt
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
/* items without a department come first */
CREATE VIEW viewtechonotdels AS
SELECT b.id AS otdel, b.name AS name, a.name || '(' || a.seria || ',' || CAST(a.nomer AS varchar) || ') ' AS izd
FROM izdel a LEFT OUTER JOIN
otdel b ON b.id = a.otdel
ORDER BY b.name NULLS FIRST
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE VIEW viewlogins AS
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
CREATE FUNCTION addtolog(p_dt timestamp, p_action integer, p_userid integer) RETURNS void
LANGUAGE plpgsql AS $$
BEGIN
    INSERT INTO userlog (dt, usr, logaction) VALUES (p_dt, p_userid, p_action);
END
$$
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS OFF
GO
CREATE FUNCTION changepassword(p_userid integer, p_dt timestamp, p_passw varchar) RETURNS void
LANGUAGE plpgsql AS $$
BEGIN
    -- users.passw holds 20 characters: refuse a longer password rather than cut it
    IF length(p_passw) > 20 THEN
        RAISE EXCEPTION USING ERRCODE = 'string_data_right_truncation', MESSAGE = 'Пароль длиннее 20 символов';
    END IF;
    UPDATE users SET passw = p_passw WHERE id = p_userid;
    PERFORM addtolog(p_dt, 3, p_userid);
END
$$
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
-- процедура получения нового значения ключа
CREATE FUNCTION getid(p_name varchar) RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
    v_id integer;
BEGIN
    -- one statement: concurrent callers never receive the same key
    INSERT INTO ids AS c (tblname, lastid) VALUES (upper(p_name), 1)
        ON CONFLICT (tblname) DO UPDATE SET lastid = c.lastid + 1
        RETURNING c.lastid INTO v_id;
    RETURN v_id;
END
$$
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE FUNCTION getlastlogin(p_login varchar) RETURNS timestamp
LANGUAGE plpgsql AS $$
BEGIN
    RETURN (SELECT max(lastenter) FROM users WHERE login = p_login COLLATE ci);
END
$$
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
SET ANSI_NULLS ON
GO
CREATE FUNCTION login(p_login varchar, p_passw varchar, p_dt timestamp, INOUT p_res integer, OUT p_tp char)
LANGUAGE plpgsql AS $$
BEGIN
    -- what the caller sent in is no answer: no matching user gives 0
    p_res := NULL;
    p_tp := NULL;
    SELECT u.id, u.tp INTO p_res, p_tp FROM users u
        WHERE u.login = p_login COLLATE ci AND u.passw = p_passw COLLATE ci
        ORDER BY u.id
        LIMIT 1;
    IF p_res IS NULL THEN
        p_res := 0;
        RETURN;
    END IF;
    UPDATE users SET lastenter = p_dt WHERE id = p_res;
    PERFORM addtolog(p_dt, 1, p_res);
END
$$
GO
SET QUOTED_IDENTIFIER OFF
GO
SET ANSI_NULLS ON
GO
/* the history of changes: one row per column an insert, change or delete touched, written
by the program's triggers in the change's own transaction (a password only as changed);
table and key compare byte by byte, as a key's range of lines is read ('200/' up to '2000') */
CREATE TABLE history (
    id bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    dt timestamp(3) NOT NULL,
    usr integer,
    tblname varchar(20) COLLATE "C" NOT NULL,
    rowkey varchar(40) COLLATE "C" NOT NULL,
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
