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
Wait time=1000
