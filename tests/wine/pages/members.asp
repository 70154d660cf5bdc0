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
Test.Log "login -> " & TypeName(r) & " " & r
r = o.isadmin()
Test.Log "IsAdmin -> " & TypeName(r)
r = o.getcache()
Test.Log "GetCache -> " & TypeName(r)
r = o.LogOut()
Test.Log "logout -> " & TypeName(r)

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
n = "" : d = ""
r = o.DEFAULTDOC(n, d)
Expect TypeName(r), "Boolean", "DefaultDoc result type"
Test.Log "DefaultDoc -> " & r & " n=" & TypeName(n) & " d=" & TypeName(d)

' The error page: written once, then the response ends.
Test.NewResponse
r = o.SHOWERR("")
If Test.Ended Then Test.Fail "ShowErr of the empty string ended the response"
If Not IsEmpty(r) Then Test.Fail "ShowErr returns Empty"
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
