Attribute VB_Name = "Tax"
'------------------------------------------------------------------------------
' @(h) Tax.bas                     ver 1.0 ( '24.04.01 USERNAME )
'
' @(s)
' 消費税と端数処理の計算をまとめたモジュール
'
'------------------------------------------------------------------------------
Option Explicit

Private Const STANDARD_RATE As Double = 0.1
Private Const REDUCED_RATE As Double = 0.08

'------------------------------------------------------------------------------
' @(f)
'
' 関数名　: AddTax
'
' 機能　　: 消費税を加えた金額を返す
'
' 引数　　: price -  税抜きの金額（円）
' 　　　　  rate  -  税率。0.1 で 10%
'
' 戻り値　: 税込みの金額。端数は RoundDown で切り捨てる
'
' 作成日　: '24.04.01
'
' 作成者　: 山田
'
'------------------------------------------------------------------------------
Public Function AddTax(ByVal price As Long, ByVal rate As Double) As Long
    AddTax = RoundDown(price * (1 + rate))
End Function

'------------------------------------------------------------------------------
' @(f)
'
' 関数名　: RateOf
'
' 機能　　: 品目の区分から税率を選ぶ
'           軽減税率の対象なら 8%、それ以外は 10%
'
' 引数　　: reduced -  軽減税率の対象なら True
'
' 戻り値　: 税率
'
'------------------------------------------------------------------------------
Public Function RateOf(ByVal reduced As Boolean) As Double
'------<山田 '24.06.10>------
    If reduced Then
        RateOf = REDUCED_RATE
    Else
        RateOf = STANDARD_RATE
    End If
'----------------------------
End Function

'------------------------------------------------------------------------------
' @(f)
'
' 関数名　: RoundDown
'
' 機能　　: 小数点以下を切り捨てる
'
' 引数　　: value -  切り捨てる値
'
' 戻り値　: 整数部分
'
'------------------------------------------------------------------------------
Private Function RoundDown(ByVal value As Double) As Long
    RoundDown = Fix(value)
End Function
