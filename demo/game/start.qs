# The demo's first page: greets the player by name through a called page, adds up one to ten,
# and waits a second before it ends.
VarNew name=挨拶 type=str
VarNew name=合計 type=int init={0}
VarNew name=i type=int
Calc デモ回数 = デモ回数 + 1
Call page="greet.qsb" result=挨拶 args={プレイヤー名}
WhileInit i = 1
While i <= 10
  Calc 合計 = 合計 + i
WhileLoop i = i + 1
# A few of the system functions: full-width text, a date's weekday, the screen size.
VarNew name=全角 type=str
VarNew name=曜日 type=str
VarNew name=画面 type=str
Calc 全角 = HanToZen("quenplay ﾃﾞﾓ")
Calc 曜日 = GetWeekJStr(EncodeDate(2026, 12, 9))
Calc 画面 = IntToStr(@ScrWidth) ++ "x" ++ IntToStr(@ScrHeight)
# The scene: pictures, an animation, a button, a map image, a caption and snow.
Call page="scene.qsb"
# From here on the colour of the shown screen (root 1 since the scene's Flip) follows the game
# clock, frame by frame, from blue to green and back to blue every two seconds; F11, Alt+Enter
# or the 画面切替 button switch the screen.
VarNew name=色 type=int
VarNew name=濃さ type=int
Label colour
Calc 濃さ = Abs(255 - (@TickCount / 4) % 512)
Calc 色 = SetProp(Chr(1) ++ "BASE1", 8, (255 - 濃さ) * 256 + 濃さ * 65536)
Wait time=1
Jump target=colour
