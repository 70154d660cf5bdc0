<%@ Language=VBScript %>
<%
' A CreateSite that waits for the machine-wide lock, which another process
' holds: its operation record is written before the wait. tests/wine/run.sh
' kills this page's process while it waits, so that the record stays for
' tarnwick.exe check to find.
Set panel = Server.CreateObject("Tarnwick.Control")
panel.System = "2003"
r = panel.CreateSite("kim", "C:\Sites\kim", "kim.com", -1, -1, "kimpool", "index.htm")
%>
