-- Quillmere: the database the client works on.
--
-- Creates the eight tables, two views, eight stored procedures and three
-- triggers in dbo. Run it in an empty database, with sqlcmd or quillmere-sqlcmd:
--     sqlcmd -S server -d Quillmere -b -i db/schema.sql
--     quillmere-sqlcmd -S "(embedded)" -d Quillmere -b -i db/schema.sql
-- The file is UTF-8; give Microsoft's sqlcmd -f 65001 so it reads it as such.
--
-- Column types chosen where the client only fixes a kind or a width:
--   * Names and other free texts are varchar with twice the number of characters
--     the forms allow (sname, tname, dpname, cname: 20 characters -> varchar(40);
--     dpmemo: 50 characters -> varchar(100)), because under Chinese_PRC_CI_AS a
--     varchar counts code page 936 bytes and every Chinese character takes two.
--   * ssex and tsex are char(2): one Chinese character, 男 or 女.
--   * Birthdays and the make-up date are datetime, so '1986-10-1' is accepted and
--     shown back as 1986-10-01 00:00:00.000.
--   * inyear is char(4): four digits, and the empty text the forms send for an
--     empty box is kept as blanks rather than refused.
--   * ccredit is int: the empty text becomes 0, as the server converts it.
--   * dpmaster is char(1), defaulting to '0' when the teacher insert leaves it out.
--   * gmark is numeric(18,0): whole grades that compare and average as numbers
--     (AVG gives numeric(38,6), e.g. 75.500000).
--   * tno is char(3); userID and userPWD are varchar(50), userRule varchar(10).
--   * spname is char(20) in speciality and in reexamination, as the insert trigger
--     declares @spname char(20).
--
-- Keys and references: every table the forms edit has its primary key; the
-- foreign keys keep each reference pointing at an existing row. Changing a key
-- carries over (ON UPDATE CASCADE) and nothing cascades on delete, so deleting a
-- referenced row is refused with error 547.
-- One reference does not cascade: student.spno -> speciality. With it cascading,
-- an update of dpartment would reach score along two paths (through speciality
-- and student, and through teacher and course), which SQL Server refuses when the
-- constraints are created (error 1785). A speciality number that students use
-- therefore cannot be changed (547); department, teacher, course and student
-- numbers, the keys the forms change, all carry over.
-- student.spno may be NULL: a student without a speciality is allowed (the
-- reference is only checked for non-null values), and the insert trigger then
-- records the notice with a NULL speciality name.
--
-- The views, procedures and triggers are created from their exact texts (lines
-- separated by CR LF), which is what sp_helptext and the client's code panels show.
-- Each of them therefore starts its own batch, with nothing before CREATE.
CREATE TABLE dpartment (
    dpno     char(2)      NOT NULL,
    dpname   varchar(40)  NULL,
    dpmemo   varchar(100) NULL,
    CONSTRAINT PK_dpartment PRIMARY KEY (dpno)
)
GO
CREATE TABLE speciality (
    spno     char(5)      NOT NULL,
    spname   char(20)     NULL,
    dpno     char(2)      NULL,
    CONSTRAINT PK_speciality PRIMARY KEY (spno),
    CONSTRAINT FK_speciality_dpartment FOREIGN KEY (dpno) REFERENCES dpartment (dpno) ON UPDATE CASCADE
)
GO
CREATE TABLE student (
    sno       char(7)     NOT NULL,
    sname     varchar(40) NULL,
    ssex      char(2)     NULL,
    sbirthday datetime    NULL,
    spno      char(5)     NULL,
    inyear    char(4)     NULL,
    CONSTRAINT PK_student PRIMARY KEY (sno),
    CONSTRAINT FK_student_speciality FOREIGN KEY (spno) REFERENCES speciality (spno)
)
GO
CREATE TABLE teacher (
    tno       char(3)     NOT NULL,
    tname     varchar(40) NULL,
    tsex      char(2)     NULL,
    tbirthday datetime    NULL,
    prof      varchar(40) NULL,
    dpno      char(2)     NULL,
    dpmaster  char(1)     NULL DEFAULT '0',
    CONSTRAINT PK_teacher PRIMARY KEY (tno),
    CONSTRAINT FK_teacher_dpartment FOREIGN KEY (dpno) REFERENCES dpartment (dpno) ON UPDATE CASCADE
)
GO
CREATE TABLE course (
    cno      char(1)      NOT NULL,
    cname    varchar(40)  NULL,
    ccredit  int          NULL,
    tno      char(3)      NULL,
    CONSTRAINT PK_course PRIMARY KEY (cno),
    CONSTRAINT FK_course_teacher FOREIGN KEY (tno) REFERENCES teacher (tno) ON UPDATE CASCADE
)
GO
CREATE TABLE score (
    sno      char(7)       NOT NULL,
    cno      char(1)       NOT NULL,
    gmark    numeric(18,0) NULL,
    CONSTRAINT PK_score PRIMARY KEY (sno, cno),
    CONSTRAINT FK_score_student FOREIGN KEY (sno) REFERENCES student (sno) ON UPDATE CASCADE,
    CONSTRAINT FK_score_course FOREIGN KEY (cno) REFERENCES course (cno) ON UPDATE CASCADE
)
GO
-- Make-up examination notices, written by the insert trigger on score; no key.
CREATE TABLE reexamination (
    spname   char(20)     NULL,
    sno      char(7)      NULL,
    cno      char(1)      NULL,
    redate   datetime     NULL
)
GO
-- Users of the client; userRule is one of 管理员, 教师, 学生, 游客.
CREATE TABLE userSystem (
    userID   varchar(50)  NOT NULL,
    userPWD  varchar(50)  NULL,
    userRule varchar(10)  NULL,
    CONSTRAINT PK_userSystem PRIMARY KEY (userID)
)
GO
CREATE VIEW dbo.VIEW_Scort
AS
SELECT dbo.score.*
FROM dbo.score
GO
CREATE VIEW 
dbo.VIEW_CourseSelectionProgramInformation
AS
SELECT dbo.score.sno, 
dbo.student.sname, dbo.score.cno, 
dbo.course.cname, 
      dbo.score.gmark
FROM dbo.course INNER JOIN
      dbo.score ON dbo.course.cno = 
dbo.score.cno INNER JOIN
      dbo.student ON dbo.score.sno = 
dbo.student.sno
GO
CREATE PROCEDURE s_avg_sea  @sno char(7) AS
select sno,avg(gmark) from score where sno = @sno
group by sno
GO
CREATE PROCEDURE No_s_avg_sea AS
select sno,avg(gmark)as avgSpno from score group by sno
GO
CREATE PROCEDURE c_avg_sea  @avgCon char(1)  AS
select cno ,avg(gmark) as avgCno from score where cno = @avgCon Group by cno
GO
CREATE PROCEDURE No_c_avg_sea  AS
select cno ,avg(gmark) as avgcno from score group by cno
GO
CREATE PROCEDURE sp_avg_sea  @avgSpon char(5)   AS
select sno,avg(gmark) as avgspno from score where sno in (select sno from student where spno = @avgSpon) 
group by sno
GO
CREATE PROCEDURE No_sp_avg_sea AS
select student.sno,spno,avg(gmark) as avgspno from score,student where score.sno=student.sno group by student.spno ,student.sno
GO
CREATE PROCEDURE dp_avg_sea  @avgDpno char(2)  AS
select cno ,dpno,avg(gmark) as avgdpno from score ,teacher where  cno in (select cno from course where   tno in
(select tno from teacher where dpno = @avgDpno))
group by cno,dpno
GO
CREATE PROCEDURE No_dp_avg_sea  AS
select cno ,dpno,avg(gmark) as avgdpno from score ,teacher  where  cno in (select cno from course ,
teacher where course.tno=teacher.tno)group by cno,dpno 
GO
CREATE TRIGGER insertUpdateDelete ON [dbo].[score] 
FOR INSERT 
AS
SET NOCOUNT OFF
DECLARE @sno char(7),@cno char(1),@spname char(20),@gmark numeric
        SELECT @sno=sno,@cno=cno,@gmark=gmark  FROM inserted where gmark<60
	select @spname =spname from speciality where spno
	=(select spno from student where sno=@sno)
	if(@gmark<60)
         INSERT INTO reexamination values(@spname,@sno,@cno,'2007-3-20')
GO
CREATE TRIGGER updatescore_trig  ON score
   FOR update  AS
DECLARE @sno char(7),@cno char(1),@count int
select @sno=deleted.sno,@cno=deleted.cno from inserted,deleted where inserted.gmark >60 
and deleted.gmark<60 
select  @count=count(*) from reexamination where reexamination.sno=@sno and reexamination.cno=@cno

if(@count>0)
           delete  reexamination
                 where sno=(SELECT sno  FROM inserted 
                 WHERE gmark >60 )and sno =(SELECT sno FROM deleted where
gmark<60)        
GO
CREATE TRIGGER deletescore_trig  ON score
   FOR delete  AS
           delete  reexamination
           where sno=(select sno from deleted  
where gmark<60) and
cno=(select cno from deleted where  gmark<60)
GO
