' Late binding from VBScript: c.ServerPath against Scripting.FileSystemObject's GetDriveName in
' the same script host, in turns. The script times itself with Timer and prints
' "round <ours ms> <reference ms>" for every counted round, then "done", for bench/ov_bench.
'
'   cscript //nologo late_bound.vbs read <reads> <rounds>
'
' Timer counts seconds since midnight in single precision: it moves in steps of up to 7.8 ms,
' so the rounds must be long. The script host swallows uncaught errors and exits 0: errors are
' caught here and end the script with 1.
Option Explicit

Dim n, rounds, c, fso, s, i, round, a, b
n = CLng(WScript.Arguments(1))
rounds = CLng(WScript.Arguments(2))

Sub Fail(what)
    WScript.Echo "error " & Hex(Err.Number) & " " & what & " " & Err.Description
    WScript.Quit 1
End Sub

' Milliseconds since start, across midnight too.
Function Since(start)
    Dim t
    t = Timer - start
    If t < 0 Then t = t + 86400
    Since = CLng(t * 1000)
End Function

Function ReadOurs()
    Dim start
    start = Timer
    For i = 1 To n
        s = c.ServerPath
    Next
    ReadOurs = Since(start)
End Function

Function ReadFso()
    Dim start
    start = Timer
    For i = 1 To n
        s = fso.GetDriveName("C:\x")
    Next
    ReadFso = Since(start)
End Function

If WScript.Arguments(0) <> "read" Then
    WScript.Echo "error unknown mode " & WScript.Arguments(0)
    WScript.Quit 1
End If

On Error Resume Next
Set c = CreateObject("OVCustInstSrv.OVCustInst")
If Err.Number <> 0 Then Fail "creating the control"
Set fso = CreateObject("Scripting.FileSystemObject")
If Err.Number <> 0 Then Fail "creating the FileSystemObject"
c.Init
If Err.Number <> 0 Then Fail "Init"
If c.ServerPath = "" Then Fail "ServerPath is empty after Init"

' Round 0 is not counted. An error inside a round stops it: the rounds printed then fall
' short, which ov_bench reports.
For round = 0 To rounds
    a = ReadOurs()
    If Err.Number <> 0 Then Fail "c.ServerPath"
    b = ReadFso()
    If Err.Number <> 0 Then Fail "GetDriveName"
    If round > 0 Then WScript.Echo "round " & a & " " & b
Next
WScript.Echo "done"
WScript.Quit 0
