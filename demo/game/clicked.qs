# The button's click: counted.
Calc ボタン回数 = ボタン回数 + 1
