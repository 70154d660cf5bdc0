<%@ Language=VBScript %>
<%
' One hosted site's whole life through Tarnwick.Control under Wine: created,
' modified, stopped and started, its default documents changed, deleted. After
' each step the metabase and the accounts are read back through GetObject on
' the directory doubles, and the site's folder through the FileSystemObject.
'
' Run by tests/wine/run.sh with the doubles registered and page_host options
'   --map WScript.Network=Tarnwick.Test.Network --accounts-double ...
'   --site-root <master control site with Template\Index.htm, Error.htm, Other\ReadMe.txt>
Dim checks : checks = 0
Sub Expect(actual, expected, what)
  checks = checks + 1
  If TypeName(actual) <> TypeName(expected) Then
    Test.Fail what & ": type " & TypeName(actual) & ", expected " & TypeName(expected)
  ElseIf actual <> expected Then
    Test.Fail what & ": " & actual & ", expected " & expected
  End If
End Sub

' The call went through without the error page.
Sub ExpectNoErrorPage(what)
  If Test.Ended Then Test.Fail what & " wrote the error page: " & Test.Body
  Test.NewResponse
End Sub

' The entries of an array joined by "|" (Wine's VBScript has no Join).
Function Joined(values)
  Dim i
  Joined = ""
  For i = LBound(values) To UBound(values)
    If i > LBound(values) Then Joined = Joined & "|"
    Joined = Joined & values(i)
  Next
End Function

' The error number of binding a path; 0 when it binds.
Function BindError(path)
  Dim found
  On Error Resume Next
  Err.Clear
  Set found = GetObject(path)
  BindError = Err.Number
  Err.Clear
End Function

Const Host = "IIS://WEBHOST/W3SVC/"
Const Folder = "C:\Sites\bob"
Dim o, r, site, root, user, guests, fso, n, d, b

Set fso = Server.CreateObject("Scripting.FileSystemObject")
Set o = Server.CreateObject("Tarnwick.Control")
o.System = "2003"
Expect o.cOMPUTER(), "WEBHOST", "Computer through the network double"

' --- CreateSite ----------------------------------------------------------------
Test.NewResponse
r = o.createSITE("bob", Folder, "bob.com", -1, -1, "Tarn_bob", "index.htm,index.asp")
Expect r, "2:True", "CreateSite"
ExpectNoErrorPage "CreateSite"

Set site = GetObject(Host & "2")
Expect site.Class, "IIsWebServer", "site class"
b = site.ServerBindings
If Not IsArray(b) Then
  Test.Fail "ServerBindings is a " & TypeName(b)
Else
  Expect Joined(b), ":80:bob.com|:80:www.bob.com", "ServerBindings"
End If
Expect site.ServerComment, "Z_BOB.COM", "ServerComment"
Expect site.AnonymousUserName, "WEBHOST\Tarn_bob", "AnonymousUserName"
Expect site.MaxBandwidthBlocked, CLng(-1), "MaxBandwidthBlocked"
Expect site.LogFileDirectory, Folder, "LogFileDirectory"
Expect site.ServerState, CLng(2), "ServerState after CreateSite"
Expect Len(site.AnonymousUserPass), CLng(41), "AnonymousUserPass length"

Set root = GetObject(Host & "2/Root")
Expect root.Path, Folder, "root Path"
Expect root.AppPoolId, "Tarn_bob", "root AppPoolId"
Expect root.DefaultDoc, "index.htm,index.asp", "root DefaultDoc"
Expect root.AccessScript, True, "root AccessScript"
Expect root.AccessWrite, False, "root AccessWrite"
Expect BindError(Host & "AppPools/Tarn_bob"), CLng(0), "the site's application pool"

Set user = GetObject("WinNT://WEBHOST/Tarn_bob,user")
Expect user.Name, "Tarn_bob", "account name"
Expect user.FullName, "Internet 来宾帐号", "account full name"
Expect user.UserFlags And &H10000, CLng(&H10000), "password never expires"
Set guests = GetObject("WinNT://WEBHOST/Guests,group")
Expect guests.IsMember("WinNT://WEBHOST/Tarn_bob"), True, "account in Guests"

Expect fso.FolderExists(Folder), True, "site folder"
Expect fso.FileExists(Folder & "\index.htm"), True, "index page from the template"
Expect fso.FileExists(Folder & "\404.htm"), True, "error page from the template"
Expect fso.FileExists(Folder & "\ReadMe.txt"), True, "the template's other files"

' --- The account and pool members, by name in odd letter case -------------------------
Test.NewResponse
r = o.CREATEPOOL("ToolPool")
If Not IsEmpty(r) Then Test.Fail "CreatePool returns " & TypeName(r)
Expect BindError(Host & "AppPools/ToolPool"), CLng(0), "CreatePool's pool"
Expect o.createntuser("tool_user", "Pw-1234567", "Tool User", "made by a page"), True, "CreateNtUser"
Expect GetObject("WinNT://WEBHOST/tool_user,user").FullName, "Tool User", "CreateNtUser full name"
Expect o.AddUserToGROUP("tool_user", "Guests"), True, "AddUserToGroup"
Expect GetObject("WinNT://WEBHOST/Guests,group").IsMember("WinNT://WEBHOST/tool_user"), True, _
  "AddUserToGroup membership"
Expect o.addusertogroup("tool_user", "NoSuchGroup"), False, "AddUserToGroup of a missing group"
Expect o.deletentuser("tool_user"), True, "DeleteNtUser"
Expect BindError("WinNT://WEBHOST/tool_user,user"), CLng(&H800708AD), "account after DeleteNtUser"
ExpectNoErrorPage "the account and pool members"

' --- CreateSite: the host name is taken ---------------------------------------------
Test.NewResponse
r = o.CreateSite("eve", "C:\Sites\eve", "bob.com", -1, -1, "Tarn_eve", "index.htm")
If Not IsEmpty(r) Then Test.Fail "CreateSite of a taken host name: " & TypeName(r) & " " & r
If Not Test.Ended Then Test.Fail "CreateSite of a taken host name showed no error page"
Expect BindError(Host & "3"), CLng(&H80070003), "no site 3 after the refused CreateSite"
Expect BindError("WinNT://WEBHOST/Tarn_eve,user"), CLng(&H800708AD), "no account for the refused site"

' --- ModifySite --------------------------------------------------------------------
Test.NewResponse
r = o.MODIFYSITE(2, "new.com", 100, 50, "home.asp,index.htm", "bob")
Expect r, True, "ModifySite"
ExpectNoErrorPage "ModifySite"
Set site = GetObject(Host & "2")
Expect Joined(site.ServerBindings), ":80:new.com|:80:www.new.com", "ServerBindings after ModifySite"
Expect site.MaxBandwidthBlocked, CLng(0), "MaxBandwidthBlocked after ModifySite"
Expect site.MaxBandwidth, CLng(102400), "MaxBandwidth after ModifySite"
Expect site.MaxConnections, CLng(50), "MaxConnections after ModifySite"
Expect site.DefaultDoc, "home.asp,index.htm", "site DefaultDoc after ModifySite"
Expect site.AnonymousUserName, "WEBHOST\Tarn_bob", "AnonymousUserName stays"

' --- SiteStatus: stop, start, a missing site ----------------------------------------
Test.NewResponse
Expect o.sitestatus(2, False), True, "SiteStatus stop"
ExpectNoErrorPage "SiteStatus stop"
Expect GetObject(Host & "2").ServerState, CLng(4), "ServerState after stop"
Expect o.SiteStatus("2", True), True, "SiteStatus start"
ExpectNoErrorPage "SiteStatus start"
Expect GetObject(Host & "2").ServerState, CLng(2), "ServerState after start"
Expect o.SiteStatus(99, True), False, "SiteStatus of a missing site"
If InStr(Test.Body, "80070003") = 0 Then Test.Fail "error page without the bind's number: " & Test.Body
Test.NewResponse

' --- DefaultDoc, both arguments by reference ----------------------------------------
n = 2 : d = "default.asp,index.htm"
Expect o.defaultDOC(n, d), True, "DefaultDoc"
ExpectNoErrorPage "DefaultDoc"
Expect n, 2, "DefaultDoc leaves the site number"
Expect d, "default.asp,index.htm", "DefaultDoc leaves the documents"
Set root = GetObject(Host & "2/Root")
Expect root.DefaultDoc, "default.asp,index.htm", "root DefaultDoc after DefaultDoc"
Expect root.EnableDefaultDoc, True, "root EnableDefaultDoc after DefaultDoc"

' --- Folders by their other names -------------------------------------------------
' Wine gives Program Files a short name of its own; the component asks the
' platform what a path names and refuses it as Program Files. The profiles
' folder is the one GetProfilesDirectoryW names in the prefix.
Dim programs : programs = Test.ShortPath("C:\Program Files")
If programs = "" Or UCase(programs) = "C:\PROGRAM FILES" Then
  Test.Fail "Wine gave Program Files no short name: '" & programs & "'"
End If
For Each d In Array(programs & "\eve", programs, Test.ShortPath("C:\users") & "\eve")
  Test.NewResponse
  r = o.CreateSite("eve", d, "eve.com", -1, -1, "Tarn_eve", "index.htm")
  Expect IsEmpty(r), True, "CreateSite in " & d
  Expect Test.Ended, True, "error page of CreateSite in " & d
  Test.NewResponse
  Expect o.DeleteSite(2, d), False, "DeleteSite of " & d
  Expect Test.Ended, True, "error page of DeleteSite of " & d
Next
Test.NewResponse
Expect BindError("WinNT://WEBHOST/Tarn_eve,user"), CLng(&H800708AD), "no account for eve"
Expect BindError(Host & "2"), CLng(0), "site 2 after the refused calls"

' --- DeleteSite ----------------------------------------------------------------------
Expect o.DELETEsite(2, Folder), True, "DeleteSite"
ExpectNoErrorPage "DeleteSite"
Expect BindError(Host & "2"), CLng(&H80070003), "site 2 after DeleteSite"
Expect BindError(Host & "2/Root"), CLng(&H80070003), "root of site 2 after DeleteSite"
Expect BindError("WinNT://WEBHOST/Tarn_bob,user"), CLng(&H800708AD), "account after DeleteSite"
Expect GetObject("WinNT://WEBHOST/Guests,group").IsMember("WinNT://WEBHOST/Tarn_bob"), False, _
  "Guests after DeleteSite"
Expect fso.FolderExists(Folder), False, "site folder after DeleteSite"
Expect BindError(Host & "1"), CLng(0), "the default web site stays"

' The site number is free again.
Test.NewResponse
r = o.createSITE("bob", Folder, "bob.com", -1, -1, "Tarn_bob", "index.htm")
Expect r, "2:True", "CreateSite after DeleteSite"
ExpectNoErrorPage "CreateSite after DeleteSite"
Expect o.DELETEsite(2, Folder), True, "DeleteSite again"
ExpectNoErrorPage "DeleteSite again"
Test.Log "site cycle: " & checks & " checks"
%>
