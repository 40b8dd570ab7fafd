Sub A()
変数
End Sub
