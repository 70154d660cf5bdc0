<%@ Language=VBScript %>
<%
' Every member of Tarnwick.Control reached by name in odd letter case, with
' the VBScript types of the results.
Sub Expect(actual, expected, what)
  If TypeName(actual) <> TypeName(expected) Then
    Test.Fail what & ": type " & TypeName(actual) & ", expected " & TypeName(expected)
  ElseIf actual <> expected Then
    Test.Fail what & ": " & actual & ", expected " & expected
  End If
End Sub

Dim o, r, n, d
Set o = Server.CreateObject("tarnwick.control")

' Properties: the Boolean flag, the two VARIANTs kept as given.
Expect o.ISCHKUSER, False, "IsChkUser after OnStartPage"
o.ischkuser = True
Expect o.IsChkUser, True, "IsChkUser written"
Expect CInt(o.IsChkUser), -1, "True as a number"
If Not IsEmpty(o.SYSTEM) Then Test.Fail "System starts Empty"
o.system = 2003
Expect o.System, 2003, "System keeps the number"
o.sHoWiP = "True"
Expect o.showip, "True", "ShowIP keeps the text"
' Values of types the component does not work with come back as they were given.
o.System = CDate("2001-02-03")
Expect o.System, CDate("2001-02-03"), "System keeps a date"
o.ShowIP = CByte(7)
Expect o.ShowIP, CByte(7), "ShowIP keeps a byte"
o.ShowIP = CCur(1.5)
Expect o.ShowIP, CCur(1.5), "ShowIP keeps a currency amount"
o.ShowIP = Null
If Not IsNull(o.ShowIP) Then Test.Fail "ShowIP keeps Null: " & TypeName(o.ShowIP)
o.system = 2003

' ChkUser returns Empty.
r = o.CHKUSER()
If Not IsEmpty(r) Then Test.Fail "ChkUser: " & TypeName(r)

' Random text from the system's generator.
r = o.rndstr(12)
Expect Len(r), CLng(12), "RndStr length"
Expect TypeName(r), "String", "RndStr type"
r = o.GETNTPASS()
If TypeName(r) <> "String" Or Len(r) = 0 Then Test.Fail "GetNtPass: " & TypeName(r)

' The login session in the ASP session.
r = o.LOGIN("admin", "secret", "root")
If Not IsEmpty(r) Then Test.Fail "login returns " & TypeName(r)
If Session.Item("kavro_loginuser") <> "admin" Then Test.Fail "login kept " & Session.Item("kavro_loginuser")
r = o.isadmin()
If Not IsEmpty(r) Then Test.Fail "IsAdmin returns " & TypeName(r)
If Test.Ended Then Test.Fail "IsAdmin of a logged-in user ended the response"
r = o.getcache()
Expect r, CStr(Session.SessionID), "GetCache"
r = o.LogOut()
If Not IsEmpty(r) Then Test.Fail "logout returns " & TypeName(r)
Expect Session.Item("kavro_loginuser"), "", "user after logout"
Test.NewResponse
o.ISADMIN
If Not Test.Ended Then Test.Fail "IsAdmin after logout did not end the response"
Expect Test.Redirect, "index.asp", "IsAdmin after logout redirects"

' An error of the platform reaches the page with its number.
On Error Resume Next
Err.Clear
r = o.COMPUTER()
Test.Log "Computer -> Err " & Err.Number & " " & TypeName(r) & " " & r
Err.Clear
On Error GoTo 0

' The Boolean results are VARIANT_BOOLs.
Test.NewResponse
r = o.chkfolder("")
Expect TypeName(r), "Boolean", "ChkFolder result type"

' DefaultDoc takes both arguments by reference.
Test.NewResponse
n = CByte(1) : d = CDate("2001-02-03")
r = o.DEFAULTDOC(n, d)
Expect TypeName(r), "Boolean", "DefaultDoc result type"
Expect n, CByte(1), "DefaultDoc leaves the site number as it was"
Expect d, CDate("2001-02-03"), "DefaultDoc leaves the documents as they were"

' The error page: written once, then the response ends.
Test.NewResponse
r = o.SHOWERR("")
If Test.Ended Then Test.Fail "ShowErr of the empty string ended the response"
If Not IsEmpty(r) Then Test.Fail "ShowErr returns Empty"
r = o.ShowErr(CDate("2001-02-03"))
If InStr(Test.Body, "<script>alert('" & CDate("2001-02-03") & "\n") <> 1 Then
  Test.Fail "error page of a date: " & Test.Body
End If
Test.NewResponse
r = o.showerr("bad 'input'")
If Not Test.Ended Then Test.Fail "ShowErr did not end the response"
If InStr(Test.Body, "<script>alert('bad \'input\'") <> 1 Then Test.Fail "error page: " & Test.Body
If Right(Test.Body, 27) <> "');history.back();</Script>" Then Test.Fail "error page end: " & Test.Body
Response.Write "not shown"
If InStr(Test.Body, "not shown") > 0 Then Test.Fail "output after the error page"
Test.Log "error page: " & Test.Body

' Unknown members fail as in any script.
On Error Resume Next
Err.Clear
o.NoSuchMember
Expect Err.Number, CLng(438), "unknown member"
Err.Clear
On Error GoTo 0
%>
