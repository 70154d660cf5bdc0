<%@ Language=VBScript %>
<%
' Panel pages pass Request.Form("x") and rs("x") straight to Tarnwick.Control:
' objects whose default property holds the value. Here every argument is such
' an object, a VBScript class with a default property; the members work with
' the values, store the values and leave the page's own variables as they were.
' Run by tests/wine/run.sh as site_cycle.asp is, with the directory doubles.
Class FormField
  Private held
  Public Default Property Get Value
    Value = held
  End Property
  Public Sub Hold(x)
    held = x
  End Sub
End Class
Class WithoutDefault
  Public Name
End Class

Function F(x)
  Dim field : Set field = New FormField
  field.Hold x
  Set F = field
End Function

Sub Expect(actual, expected, what)
  If TypeName(actual) <> TypeName(expected) Then
    Test.Fail what & ": type " & TypeName(actual) & ", expected " & TypeName(expected)
  ElseIf actual <> expected Then
    Test.Fail what & ": " & actual & ", expected " & expected
  End If
  If Test.Ended Then Test.Fail what & " wrote the error page: " & Test.Body
  Test.NewResponse
End Sub

Function ErrorOf(member, argument)
  On Error Resume Next
  Err.Clear
  Select Case member
    Case "CreateSite" : o.CreateSite argument, F("C:\Sites\x"), F("x.com"), -1, -1, F("P"), F("a.htm")
    Case "login" : o.login F("admin"), argument, F("root")
  End Select
  ErrorOf = Err.Number
  Err.Clear
End Function

Const Host = "IIS://WEBHOST/W3SVC/"
Dim o, site, root, n, d, bare
Set bare = New WithoutDefault
Set o = Server.CreateObject("Tarnwick.Control")
o.System = "2003"

o.login F("admin"), F("secret"), F("root")
Expect Session.Item("kavro_loginuser"), "admin", "login keeps the text of the field"
o.IsAdmin
Expect Test.Ended, False, "IsAdmin after a login with fields"

Expect o.CreateSite(F("fay"), F("C:\Sites\fay"), F("fay.com"), F(25), F(-1), F("Tarn_fay"), _
  F("index.htm")), "2:True", "CreateSite"
Set site = GetObject(Host & "2")
Expect site.MaxConnections, CLng(25), "MaxConnections"
Set root = GetObject(Host & "2/Root")
Expect root.Path & "|" & root.AppPoolId & "|" & root.DefaultDoc, "C:\Sites\fay|Tarn_fay|index.htm", _
  "root Path, AppPoolId and DefaultDoc"
Expect o.ModifySite(F(2), F("new.com"), F(100), F(50), F("home.asp"), F("fay")), True, "ModifySite"
Expect GetObject(Host & "2").MaxConnections, CLng(50), "MaxConnections after ModifySite"
Expect o.SiteStatus(F(2), F(False)), True, "SiteStatus stop"
Expect GetObject(Host & "2").ServerState, CLng(4), "ServerState after stop"
Expect o.SiteStatus(F("2"), F(True)), True, "SiteStatus start"
Set n = F(2) : Set d = F("default.asp")
Expect o.DefaultDoc(n, d), True, "DefaultDoc"
Expect IsObject(n) And IsObject(d), True, "DefaultDoc leaves the page's objects"
Expect GetObject(Host & "2/Root").DefaultDoc, "default.asp", "root DefaultDoc after DefaultDoc"

Expect o.CreateNtUser(F("tool_user"), F("Pw-1234567"), F("Tool User"), F("note")), True, "CreateNtUser"
Expect GetObject("WinNT://WEBHOST/tool_user,user").FullName, "Tool User", "full name"
Expect o.AddUserToGroup(F("tool_user"), F("Guests")), True, "AddUserToGroup"
Expect o.DeleteNtUser(F("tool_user")), True, "DeleteNtUser"

Expect ErrorOf("CreateSite", bare), CLng(438), "CreateSite of an object without a default"
Expect ErrorOf("login", bare), CLng(438), "login of an object without a default"
Expect ErrorOf("login", F(Array("a"))), CLng(13), "login of a field holding an array"
Expect ErrorOf("CreateSite", Array("a")), CLng(13), "CreateSite of an array"

Expect o.DeleteSite(F(2), F("C:\Sites\fay")), True, "DeleteSite"
%>
