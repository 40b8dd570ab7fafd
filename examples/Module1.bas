Attribute VB_Name = "Module1"
Option Explicit

' è¡îÔê≈ÇÃåvéZ
Private Const TAX_RATE As Double = 0.1

Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long
    AddTax = price * (1 + rate)
End Function

Public Sub ShowTotal(ByVal items As Collection, _
                     Optional ByVal caption As String = "çáåv, ê≈çû")
    Dim total As Long
    Dim item As Variant
    For Each item In items
        total = total + AddTax(item, TAX_RATE)
    Next
    MsgBox caption & ": " & total
End Sub

Property Get Rate() As Double
    Rate = TAX_RATE
End Property
