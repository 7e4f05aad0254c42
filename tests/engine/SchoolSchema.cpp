#include "Harness.h"

namespace qmtest {

std::string schoolSchema() {
    std::string s;
    s += "CREATE TABLE dpartment (dpno char(2) NOT NULL PRIMARY KEY, dpname varchar(20) NOT NULL, dpmemo varchar(50) NULL)\nGO\n";
    s += "CREATE TABLE speciality (spno char(5) NOT NULL PRIMARY KEY, spname char(20) NOT NULL, dpno char(2) NOT NULL\n"
         "  REFERENCES dpartment(dpno) ON UPDATE CASCADE)\nGO\n";
    s += "CREATE TABLE student (sno char(7) NOT NULL PRIMARY KEY, sname varchar(20) NOT NULL, ssex char(2) NULL,\n"
         "  sbirthday datetime NULL, spno char(5) NULL, inyear int NULL,\n"
         "  CONSTRAINT FK_student_speciality FOREIGN KEY (spno) REFERENCES speciality(spno) ON UPDATE CASCADE)\nGO\n";
    s += "CREATE TABLE teacher (tno varchar(3) NOT NULL PRIMARY KEY, tname varchar(20) NULL, tsex char(2) NULL,\n"
         "  tbirthday datetime NULL, prof varchar(20) NULL, dpno char(2) NULL REFERENCES dpartment(dpno) ON UPDATE CASCADE,\n"
         "  dpmaster char(1) NULL DEFAULT '0')\nGO\n";
    s += "CREATE TABLE course (cno char(1) NOT NULL PRIMARY KEY, cname varchar(20) NULL, ccredit int NULL,\n"
         "  tno varchar(3) NULL REFERENCES teacher(tno) ON UPDATE CASCADE)\nGO\n";
    s += "CREATE TABLE score (sno char(7) NOT NULL, cno char(1) NOT NULL, gmark numeric(18,0) NULL,\n"
         "  CONSTRAINT PK_score PRIMARY KEY (sno, cno),\n"
         "  CONSTRAINT FK_score_student FOREIGN KEY (sno) REFERENCES student(sno) ON UPDATE CASCADE,\n"
         "  CONSTRAINT FK_score_course FOREIGN KEY (cno) REFERENCES course(cno) ON UPDATE CASCADE)\nGO\n";
    s += "CREATE TABLE reexamination (spname char(20) NULL, sno char(7) NOT NULL, cno char(1) NOT NULL, redate datetime NULL)\nGO\n";
    s += "CREATE TABLE userSystem (userID varchar(20) NOT NULL PRIMARY KEY, userPWD varchar(20) NULL, userRule varchar(10) NULL)\nGO\n";
    // modules, with CR LF line ends as stored on the server
    s += "CREATE TRIGGER insertUpdateDelete ON [dbo].[score] \r\n"
         "FOR INSERT \r\n"
         "AS\r\n"
         "SET NOCOUNT OFF\r\n"
         "DECLARE @sno char(7),@cno char(1),@spname char(20),@gmark numeric\r\n"
         "        SELECT @sno=sno,@cno=cno,@gmark=gmark  FROM inserted where gmark<60\r\n"
         "\tselect @spname =spname from speciality where spno\r\n"
         "\t=(select spno from student where sno=@sno)\r\n"
         "\tif(@gmark<60)\r\n"
         "         INSERT INTO reexamination values(@spname,@sno,@cno,'2007-3-20')\r\n"
         "GO\n";
    s += "CREATE TRIGGER updatescore_trig  ON score\r\n"
         "   FOR update  AS\r\n"
         "DECLARE @sno char(7),@cno char(1),@count int\r\n"
         "select @sno=deleted.sno,@cno=deleted.cno from inserted,deleted where inserted.gmark >60 \r\n"
         "and deleted.gmark<60 \r\n"
         "select  @count=count(*) from reexamination where reexamination.sno=@sno and reexamination.cno=@cno\r\n"
         "\r\n"
         "if(@count>0)\r\n"
         "           delete  reexamination\r\n"
         "                 where sno=(SELECT sno  FROM inserted \r\n"
         "                 WHERE gmark >60 )and sno =(SELECT sno FROM deleted where\r\n"
         "gmark<60)        \r\n"
         "GO\n";
    s += "CREATE TRIGGER deletescore_trig  ON score\r\n"
         "   FOR delete  AS\r\n"
         "           delete  reexamination\r\n"
         "           where sno=(select sno from deleted  \r\n"
         "where gmark<60) and\r\n"
         "cno=(select cno from deleted where  gmark<60)\r\n"
         "GO\n";
    s += "CREATE VIEW dbo.VIEW_Scort\r\nAS\r\nSELECT dbo.score.*\r\nFROM dbo.score\r\nGO\n";
    s += "CREATE VIEW dbo.VIEW_CourseSelectionProgramInformation\r\n"
         "AS\r\n"
         "SELECT dbo.score.sno, \r\n"
         "dbo.student.sname, dbo.score.cno, \r\n"
         "dbo.course.cname, \r\n"
         "      dbo.score.gmark\r\n"
         "FROM dbo.course INNER JOIN\r\n"
         "      dbo.score ON dbo.course.cno = \r\n"
         "dbo.score.cno INNER JOIN\r\n"
         "      dbo.student ON dbo.score.sno = \r\n"
         "dbo.student.sno\r\n"
         "GO\n";
    s += "CREATE PROCEDURE s_avg_sea  @sno char(7) AS\r\nselect sno,avg(gmark) from score where sno = @sno\r\ngroup by sno\r\nGO\n";
    s += "CREATE PROCEDURE No_s_avg_sea AS\r\nselect sno,avg(gmark)as avgSpno from score group by sno\r\nGO\n";
    s += "CREATE PROCEDURE c_avg_sea  @avgCon char(1)  AS\r\n"
         "select cno ,avg(gmark) as avgCno from score where cno = @avgCon Group by cno\r\nGO\n";
    s += "CREATE PROCEDURE No_c_avg_sea  AS\r\nselect cno ,avg(gmark) as avgcno from score group by cno\r\nGO\n";
    s += "CREATE PROCEDURE sp_avg_sea  @avgSpon char(5)   AS\r\n"
         "select sno,avg(gmark) as avgspno from score where sno in (select sno from student where spno = @avgSpon) \r\n"
         "group by sno\r\nGO\n";
    s += "CREATE PROCEDURE No_sp_avg_sea AS\r\n"
         "select student.sno,spno,avg(gmark) as avgspno from score,student where score.sno=student.sno group by "
         "student.spno ,student.sno\r\nGO\n";
    s += "CREATE PROCEDURE dp_avg_sea  @avgDpno char(2)  AS\r\n"
         "select cno ,dpno,avg(gmark) as avgdpno from score ,teacher where  cno in (select cno from course where   tno in\r\n"
         "(select tno from teacher where dpno = @avgDpno))\r\n"
         "group by cno,dpno\r\nGO\n";
    s += "CREATE PROCEDURE No_dp_avg_sea  AS\r\n"
         "select cno ,dpno,avg(gmark) as avgdpno from score ,teacher  where  cno in (select cno from course ,\r\n"
         "teacher where course.tno=teacher.tno)group by cno,dpno \r\nGO\n";
    return s;
}

}  // namespace qmtest
