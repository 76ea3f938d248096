# The demo's scene, made once: a background over the changing screen colour, a character, an
# animated sprite, a button with hover and pressed pictures, a map image with two doors that
# light up under the pointer, a caption, falling snow, a message box revealing its text, title
# music, a blinking prompt and a looping film. They are made on the screen not shown; the Flip
# at the end shows them.
VarNew name=ボタン回数 type=int init={0}
VarNew name=選んだ扉 type=str
ImgNew name={"背景"} source={"background.brx"} alpha={200}
ImgNew name={"人物"} source={"character.brx"} left={480} top={200} priority={1}
ImgNew name={"ボール"} source={"sprite.brx"} left={320} top={400} repeat={TRUE} priority={2}
Button name={"ボタン"} source={"button.brx"} hoversource={"button_hover.brx"} pressedsource={"button_pressed.brx"} left={40} top={420} text={"押してね"} fontheight={16} fontcolor={16777215} onnotify={"clicked.qsb"} priority={3}
MapImgNew name={"扉"} source={"map.brx"} hoversource={"map_hover.brx"} mapsource={"hotspots.map"} left={40} top={150} onselect={"chosen.qsb"} priority={1}
Caption name={"題"} text={"quenplay デモ"} fontheight={24} fontcolor={0} left={20} top={16} priority={4}
ParticleNew name={"雪"} source={"flake.brx"} partmotion={1} param1={1.5} param2={8} param3={6} appearx={Random(640)} appeary={0} delay={80} width={640} height={480} priority={5}
# A band slides in from the left while the scene shows.
BoxNew name={"帯"} left={-240} top={456} width={240} height={16} color={12632256} priority={6}
PropMotion name={"帯の動き"} target={"帯"} prop=left value={0} time={800} type={2}
# A message box shows a line letter by letter, fading each one in; it goes on while the game runs.
MesNew name={"文"} left={200} top={24} width={420} height={60} fontheight={20} fontcolor={16777215} delay={120} priority={7}
TextIns box={"文"} wait={FALSE} ようこそ、<B>デモ</B>の世界へ。文字が一つずつ現れます。
# The title music fades in over a second and a half and repeats; a timer blinks a prompt
# twice a second (blink.qs).
Sound name={"曲"} source={"theme.mid"} delay={1500} repeat={TRUE}
VarNew name=点灯 type=int init={1}
Caption name={"案内"} text={"ボタンを押してね"} fontheight={16} fontcolor={16777215} left={40} top={396} priority={4}
Timer name={"点滅"} delay={500} onnotify={"blink.qsb"}
# A small film plays in a corner over and over, its chime as its sound track.
Movie name={"映像"} source={"clip.avi"} left={300} top={150} repeat={TRUE} volume={60} priority={2}
Flip time={0}
