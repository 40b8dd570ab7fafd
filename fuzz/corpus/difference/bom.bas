﻿Sub A()
End Sub
