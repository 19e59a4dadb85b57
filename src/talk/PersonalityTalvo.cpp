#include "talk/PersonalityTalvo.h"

namespace velmora {

// The order of the groups is the priority of their keywords.
void TPersonalityTalvo::LoadGroups()
{
    AddGroup({" CAN YOU "},
             {"Don't you believe that I can *?", "Why does it matter to you what I can do?",
              "You want me to be able to *?"});
    AddGroup({" CAN I "}, {"Perhaps you don't want to *?", "Do you want to be able to *?"});
    AddGroup({" YOU ARE ", " YOU'RE "},
             {"What makes you think I am *?", "Does it please you to believe I am *?",
              "Perhaps you would like to be\", *?", "Do you sometimes wish you were *?"});
    AddGroup({"I DON'T "},
             {"don't you really *?", "Why don't you *?", "Do you wish to be able to *?",
              "Is there something that keeps you from it?"});
    AddGroup({"I FEEL "}, {"Do you often feel *?", "Do you enjoy feeling *?"});
    AddGroup({"WHY DON'T YOU "},
             {"Do you really believe I don't *?", "Perhaps in good time I will\", *?", "Do you want me to *?"});
    AddGroup({"WHY CAN'T I "}, {"Do you think you should be able to *?", "Why can't you *?"});
    AddGroup({"ARE YOU "},
             {"Why are you interested in whether or not I am *?", "Would you prefer if I were not *?",
              "Perhaps in your fantasies I am\", *?"});
    AddGroup({"I CAN'T ", "I CANNOT", "I CAN NOT"},
             {"How do you know you can't *?", "Have you really tried?", "Perhaps you can now *."});
    AddGroup({"I AM ", "I'M"},
             {"Did you come to me because you are *?", "How long have you been *?",
              "Do you believe it is normal to be *?", "Do you enjoy being *?"});
    AddGroup({"YOU "},
             {"We were talking about you, not me.", "Why do you bring me into this?",
              "Let us keep to your feelings rather than to me."});
    AddGroup({"I WANT "},
             {"What would it mean to you if you got *?", "Why do you want *?", "Suppose you soon got *?",
              "What if you never got *?", "I sometimes also want *?"});
    AddGroup({"WHAT ", "HOW ", "WHO ", "WHERE ", "WHEN ", "WHY "},
             {"Why is that question on your mind?", "Whose answer would satisfy you?",
              "Which answer are you hoping for?", "What would you answer yourself?",
              "Does asking that make you uneasy?", "How long has that question been with you?",
              "Who else have you asked?", "What would change if you knew?", "Is the answer really what matters here?"});
    AddGroup({"NAME "}, {"Names do not interest me much.", "Let us leave names aside and talk about you."});
    AddGroup({"CAUSE "},
             {"Are you sure that is the whole reason?", "What else could explain it?", "Does that reason convince you?",
              "Which other reasons have you left out?"});
    AddGroup({"SORRY "},
             {"There is nothing to apologise for.", "Why do you feel you must apologise?",
              "Apologies are not needed here.", "How do you feel when you apologise?"});
    AddGroup({"DREAM "},
             {"What does that dream tell you?", "Do you dream often?", "Who appears in your dreams?",
              "Do your dreams trouble you?"});
    AddGroup({"HELLO ", "HI "}, {"How do you do ...please state your problem."});
    AddGroup({"MAYBE "},
             {"You do not sound sure.", "Why the doubt?", "Could you be more certain?", "What makes you hesitate?",
              "Is it maybe, or is it yes?"});
    AddGroup({"NO "},
             {"Why not?", "You sound very firm about that.", "Is that a no, or a not yet?", "Why so negative?",
              "Are you saying no just to say no?"});
    AddGroup({"YOUR "}, {"Why are you concerned about my *?", "What about your own *?"});
    AddGroup({"ALWAYS "},
             {"Tell me about one particular time.", "Always, with no exception at all?", "When did it first happen?",
              "What happens on the days it does not?"});
    AddGroup({"THINK "}, {"What makes you believe that?", "But you are not sure you, *?", "Do you doubt you *?"});
    AddGroup({"ALIKE "},
             {"Alike in which way?", "What do they have in common?", "Does the likeness matter to you?",
              "What would it mean if they were different?", "Who else seems alike to you?",
              "Does that resemblance suggest something?", "How did you notice it?"});
    AddGroup({"YES "}, {"You sound certain.", "How can you be so sure?", "Good, go on."});
    AddGroup({"FRIEND "},
             {"Tell me about your friends.", "Do your friends worry you?", "Who is your closest friend?",
              "Do you make friends easily?", "What do friends mean to you?", "Does a friend come to mind now?"});
    AddGroup({"COMPUTER"},
             {"Do machines frighten you?", "Why do you mention computers?", "Are you talking about me in particular?",
              "What do computers have to do with your problem?", "Do you think machines can help people?",
              "What worries you about machines?", "Would you rather talk to a person?"});
    AddGroup({NoKeyFound},
             {"Say, do you have any psychological problems?", "What does that suggest to you?", "I see.",
              "I'm not sure I understand you fully.", "Come come elucidate your thoughts.",
              "Can you elaborate on that?", "That is quite interesting."});
}

}  // namespace velmora
